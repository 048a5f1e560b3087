#include <iostream>

#include "ravelin/ravelin_app.h"

int main(int argc, char** argv) {
    return tw::ravelin::RunRavelin(argc, argv, std::cout, std::cerr);
}
