#include "toolkit/ProgramError.h"

#include <cstdlib>
#include <iostream>

namespace {

const char* gProgramName = "";

}  // namespace

void SetProgramName(const char* name) { gProgramName = name; }

void Fail(const std::string& message, int status) {
    std::cout.flush();
    std::cerr << gProgramName << ": " << message << std::endl;
    std::exit(status);
}

void FailOutOfMemory(const char* task, const std::string& name) {
    std::cout << std::endl;
    std::cerr << gProgramName << ": out of memory while " << task << " " << name << std::endl;
    std::exit(2);
}

void FailInPhase(const char* task, const std::string& name, const char* what) {
    std::cout << std::endl;
    std::cerr << gProgramName << ": " << task << " " << name << ": " << what << std::endl;
    std::exit(2);
}
