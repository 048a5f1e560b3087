#include <iostream>

#include "ravelin/ravelin_app.h"
#ifdef TW_RAVELIN_WINDOW
#include "ravelin/ui/ravelin_window.h"
#endif

int main(int argc, char** argv) {
#ifdef TW_RAVELIN_WINDOW
    return tw::ravelin::RunRavelin(argc, argv, std::cout, std::cerr,
                                   &tw::ravelin::ui::RunRavelinWindow);
#else
    return tw::ravelin::RunRavelin(argc, argv, std::cout, std::cerr);
#endif
}
