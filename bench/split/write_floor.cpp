// The write floor of the split benchmark: creates the same files, with the same sizes, in an
// empty folder, the least a durable split must do: each file written under a temporary name
// beside it and renamed into place, then one sync of the file system. It reads the list of
// files ("relative/path size" per line) on standard input.
//
//   write_floor OUT_DIR < list

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>
#include <string>

namespace {

bool MakeFolders(const std::string& path, std::set<std::string>& made) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (made.insert(folder).second && ::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_floor OUT_DIR < list\n");
        return 2;
    }
    const std::string out = std::string(argv[1]) + "/";
    std::set<std::string> made;
    std::string content;
    std::string name;
    std::size_t size = 0;
    while (std::cin >> name >> size) {
        const std::string path = out + name;
        const std::string slash = path.substr(0, path.rfind('/') + 1);
        const std::string temporary = slash + ".~tw" + path.substr(slash.size()) + ".part";
        if (!MakeFolders(path, made))
            return 1;
        content.assign(size, 'x');
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, content.data(), size) != static_cast<ssize_t>(size) ||
            ::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    const int root = ::open(out.c_str(), O_RDONLY | O_CLOEXEC);
    if (root < 0 || ::syncfs(root) != 0) {
        std::perror(out.c_str());
        return 1;
    }
    ::close(root);
    return 0;
}
