#include <iostream>

#include "Commands.h"

namespace vtkit {

namespace {

void heading(const char* title) {
    std::cout << "\n== " << title << " ==\n";
}

} // namespace

int runTour() {
    std::cout << "vtkit: a tour of the vtsupport library (vtkit --help lists the commands)\n";
    heading("Diagnostics");
    for (const Command& command : diagnosticsCommands())
        command.run(ParsedArgs{});
    heading("Text reading");
    xmlTour();
    heading("Processor topology");
    for (const Command& command : cpuCommands())
        command.run(ParsedArgs{});
    heading("Networking");
    frameTour();
    heading("Files and processes");
    filesTour();
    return kOk;
}

} // namespace vtkit
