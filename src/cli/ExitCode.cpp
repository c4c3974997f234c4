#include "cli/ExitCode.h"

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

const char* ExitCodeHelp() {
    return "Exit status:\n"
           "   0  written and confirmed by the programmer (and verified with --verify)\n"
           "   1  usage error or unexpected failure\n"
           "   2  no firmware file: none given, or it does not exist\n"
           "   3  the programmer does not answer\n"
           "   4  the firmware file cannot be opened or read, or read's output file cannot be\n"
           "      written (a directory, FIFO, socket or device is refused at once)\n"
           "   5  erasing the flash failed\n"
           "   6  writing the flash failed\n"
           "   7  --verify found the flash different from the file\n"
           "   8  the firmware file is empty\n"
           "   9  no programmer found\n"
           "  10  interrupted\n"
           "  11  reading the flash back failed\n"
           "  12  the transfer test reported bad cycles\n"
           "  13  write to several programmers, or station: some jobs failed (the table\n"
           "      says which)\n"
           "  14  --log cannot be opened for appending (nothing was done), or the job's\n"
           "      record could not be kept\n";
}

}  // namespace tarnwick::cli
