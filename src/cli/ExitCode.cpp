#include "cli/ExitCode.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick::cli {

ExitCode ExitCodeFor(ProgramEnding ending) {
    switch (ending) {
        case ProgramEnding::Success:
            return kExitSuccess;
        case ProgramEnding::NoFile:
            return kExitNoFile;
        case ProgramEnding::NoProgrammer:
            return kExitNoProgrammer;
        case ProgramEnding::NotAnswering:
            return kExitNotAnswering;
        case ProgramEnding::OpenFailed:
            return kExitOpenFailed;
        case ProgramEnding::EmptyFile:
            return kExitEmptyFile;
        case ProgramEnding::EraseFailed:
            return kExitEraseFailed;
        case ProgramEnding::WriteFailed:
            return kExitWriteFailed;
        case ProgramEnding::Cancelled:
            return kExitCancelled;
    }
    return kExitUsage;
}

namespace {

constexpr struct {
    int code;
    const char* text;
} kMeanings[] = {
    {kExitSuccess, "written and confirmed by the programmer (and verified with --verify)"},
    {kExitUsage, "usage error or unexpected failure"},
    {kExitNoFile, "no firmware file: none given, or it does not exist"},
    {kExitNotAnswering, "the programmer does not answer"},
    {kExitOpenFailed,
     "the firmware file cannot be opened or read, or read's output file cannot be\n"
     "      written (a directory, FIFO, socket or device is refused at once)"},
    {kExitEraseFailed, "erasing the flash failed"},
    {kExitWriteFailed, "writing the flash failed"},
    {kExitVerifyFailed, "--verify found the flash different from the file"},
    {kExitEmptyFile, "the firmware file is empty"},
    {kExitNoProgrammer, "no programmer found"},
    {kExitCancelled, "interrupted"},
    {kExitReadFailed, "reading the flash back failed"},
    {kExitTestErrors, "the transfer test reported bad cycles"},
    {kExitSomeFailed,
     "write to several programmers, or station: some jobs failed (the table\n"
     "      says which)"},
    {kExitLogFailed,
     "--log cannot be opened for appending (nothing was done), or the job's\n"
     "      record could not be kept"},
};

}  // namespace

std::string ExitCodeHelp(std::initializer_list<int> codes, const char* success) {
    std::string help = "Exit status:\n";
    for (const auto& meaning : kMeanings) {
        if (codes.size() > 0 &&
            std::find(codes.begin(), codes.end(), meaning.code) == codes.end()) {
            continue;
        }
        char number[8];
        std::snprintf(number, sizeof number, "%4d  ", meaning.code);
        help += number;
        help += meaning.code == kExitSuccess && success != nullptr ? success : meaning.text;
        help += '\n';
    }
    return help;
}

}  // namespace tarnwick::cli
