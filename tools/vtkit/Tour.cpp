#include <functional>
#include <iostream>
#include <new>
#include <string>

#include "Commands.h"
#include "Messages.h"

namespace vtkit {

// Every section runs even when one before it failed; the first failure is the
// tour's reason and status.
int runTour() {
    std::cout << "vtkit: a tour of the vtsupport library (vtkit --help lists the commands)\n";
    int status = kOk;
    const auto section = [&status](const char* title, const std::function<void()>& body) {
        std::cout << "\n== " << title << " ==\n";
        std::string reason;
        int failed = kFailure;
        try {
            body();
            return;
        } catch (const Failure& failure) {
            reason = failure.what();
            failed = failure.status();
        } catch (const std::bad_alloc&) {
            reason = "out of memory";
        } catch (const std::exception& e) {
            reason = e.what();
        }
        std::string line = "failed: ";
        appendVisible(line, reason, false);
        std::cout << line << '\n';
        if (status == kOk) {
            printMessage(std::string("tour, ") + title + ": " + reason);
            status = failed;
        }
    };
    section("Diagnostics", [] {
        for (const Command& command : diagnosticsCommands())
            command.run(ParsedArgs{});
    });
    section("Text reading", xmlTour);
    section("Processor topology", [] {
        for (const Command& command : cpuCommands())
            command.run(ParsedArgs{});
    });
    section("Networking", frameTour);
    section("Files and processes", [] {
        processTour();
        listingTour();
    });
    return status;
}

} // namespace vtkit
