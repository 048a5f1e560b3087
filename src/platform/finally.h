#pragma once
// Runs a cleanup when a scope ends, also when it ends by an exception.

#include <utility>

namespace tw {

template <typename F>
class Finally {
public:
    explicit Finally(F f) : f_(std::move(f)) {}
    ~Finally() { f_(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F f_;
};

}  // namespace tw
