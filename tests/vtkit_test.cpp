// The built vtkit, run through the library's command runner as a hostile user runs
// it: each row is one behaviour, its exit status, standard error and output.
#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "support/NetPeer.h"
#include "support/Support.h"
#include "vtsupport/Version.h"
#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"
#include "vtsupport/utils/Trace.h"

namespace {

#ifdef __SANITIZE_ADDRESS__
const bool addressSanitizer = true;
#else
const bool addressSanitizer = false;
#endif
const bool windowsLeg = vttest::onWindows;

std::string tool() {
    const std::string name = windowsLeg ? "vtkit.exe" : "vtkit";
    return FileUtils::quote(FileUtils::programDirectory() +
                            static_cast<char>(std::filesystem::path::preferred_separator) + name);
}
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
        text.replace(at, from.size(), to), at += to.size();
    return text;
}
// Runs `line` in `dir`, its output into out.txt and its errors into err.txt. CMD.EXE
// drops the outer quotes of a line that starts with one, and Wine's mishandles a
// redirected group: there the redirections follow the (single) command.
unsigned long runIn(const vttest::ScratchDir& dir, std::string line) {
    line = replaced(line, "{vtkit}", tool());
    const std::string out = dir.file("out.txt"), err = dir.file("err.txt");
    return runCommand(windowsLeg ? "\"cd /d \"" + dir.path() + "\" && " + line + " > \"" + out +
                                       "\" 2> \"" + err + "\"\""
                                 : "cd '" + dir.path() + "' && { " + line + "\n} > '" + out +
                                       "' 2> '" + err + "'");
}
struct Row {
    const char* name;
    const char* posixOnly; // why the row cannot run under cmd.exe; null: both legs
    std::string line;      // {vtkit} the tool, {silent} a port that accepts and never answers,
                           // {unused} a port where nothing listens
    unsigned long status;
    std::string err;
    const char* out = "";        // null: not checked
    const char* needs = nullptr; // a POSIX shell test ({vtkit} too) the row needs to pass
};
// Test names say it all; gtest would otherwise print the row's bytes.
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}
const char* const kDevices = "reads or writes /dev or /proc devices, which Windows has not";
const char* const kShell = "is POSIX shell (signals, pipes, limits), which cmd.exe is not";
const char* const kRights = "takes read permission away, which Windows files have not";
const char* const kFull = "vtkit: cannot write standard output: No space left on device\n";
const char* const kBroken = "vtkit: cannot write standard output: Broken pipe\n";
// Another user must be able to run the tool (its folders may be closed to others).
const char* const kCanBeNobody = "[ $(id -u) != 0 ] || setpriv --reuid=65534 --regid=65534 "
                                 "--clear-groups {vtkit} --help > /dev/null";
std::string times(const std::string& text, int count) {
    std::string all;
    while (count-- > 0)
        all += text;
    return all;
}
// vtkit `args` as another user when running as root, to whom every file is readable.
std::string asNobody(const std::string& args) {
    return "chmod 755 . && chmod 000 locked && if [ $(id -u) = 0 ]; then setpriv "
           "--reuid=65534 --regid=65534 --clear-groups {vtkit} " +
           args + "; else {vtkit} " + args + "; fi";
}
// `commands` run while `peer` (a vtkit frame echo) listens on port $P as process $p,
// its output in echo.out.
std::string withEchoPeer(const std::string& peer, const std::string& commands) {
    return "(" + peer +
           " > echo.out) & p=$!; until grep -qs listening echo.out; do sleep 0.05; done; "
           "P=$(sed -n 's/.*://p' echo.out); " +
           commands;
}
// `command` writing into a pipe whose reader stops after `bytes`; the status is the
// command's, and the output lists what was left in tmp.
std::string intoShortReader(const std::string& command, int bytes) {
    return "{ " + command + "; echo $? > status; } | head -c " + std::to_string(bytes) +
           " > /dev/null; ls tmp; exit $(cat status)";
}
const Row rows[] = {
    // The tool aborted, hung or grew without bound.
    {"FmtStreamsADeepDocument", kShell, intoShortReader("{vtkit} xml fmt deep.xml", 100), 7,
     kBroken},
    {"ExhaustedMemoryIsReported", kDevices, "ulimit -v 1000000; {vtkit} xml fmt /dev/zero", 1,
     "vtkit: out of memory\n"},
    {"TokensStream", kDevices, intoShortReader("{vtkit} xml tokens --xml /dev/urandom", 1000), 7,
     kBroken},
    {"TokensTakeTheirSettings", nullptr,
     "{vtkit} xml tokens nest.xml --ordinary \"<>/=\" --quotes \"'\" --comment t --whitespace", 0,
     "", "1\t<\n1\ta\n1\t>\n1\t<\n1\ta\n1\t \n1\tx\n1\t=\n1\t\"1\"\n1\t>\n1\t<\n1\ta\n1\t>\n"},
    {"FmtTakesStandardInputAndPutsAttributesOnLines", nullptr,
     "{vtkit} xml fmt --attributes-on-lines - < nest.xml", 0, "",
     "<a>\n    <a\n        x=\"1\">\n        <a>t\x01</a>\n    </a>\n</a>\n"},
    {"FmtWritesPastItsOutputBuffer", kShell,
     "(echo '<a>'; seq -f '<b x=\"%g\">t</b>' 20000; echo '</a>') > big.xml && {vtkit} xml fmt "
     "big.xml | cksum",
     0, "", "2997000339 448903\n"},
    {"FindPrintsEveryMatchWithItsPath", nullptr, "{vtkit} xml find nest.xml a", 0, "",
     "a\t/\t\t\na\t/a\tx=\"1\"\t\na\t/a/a\t\tt\\x01\n"},
    {"TourEndsWhenItsConnectionHangs", kShell,
     "{ unshare -n sh -c 'ip link set lo up && ip link set lo down && exec {vtkit}' 2>&1 > "
     "/dev/null; echo status=$?; } | sed 's/:[0-9]* within/:N within/'",
     0, "", "vtkit: tour, Networking: no answer from localhost:N within 10 seconds\nstatus=6\n",
     "unshare -n true && command -v ip"},
    {"SendGivesUpOnASilentPeer", nullptr, "{vtkit} frame send --timeout 1 127.0.0.1 {silent} x", 6,
     "vtkit: no answer from 127.0.0.1:{silent} within 1 second\n"},
    {"EchoServesClientsBesideAnIdleOneInWholeLines", kShell,
     withEchoPeer("exec {vtkit} frame echo 0 --count 1 --max-frame 9",
                  "bash -c 'exec 3<>/dev/tcp/127.0.0.1/$0; touch idle; sleep 10' $P & i=$!; until "
                  "[ -e idle ]; do sleep 0.05; done; (for c in $(seq 20); do {vtkit} frame send "
                  "localhost $P \"ten bytes.\" > /dev/null & done; wait); {vtkit} frame send "
                  "localhost $P \"one frame\"; wait $p; echo status=$?; sed 1d echo.out; kill $i"),
     0, times("vtkit: echo peer: Error: Message length over the limit of 9: 10\n", 20),
     "one frame\nstatus=0\nechoed 1 message\n"},
    {"EchoInterruptedPrintsItsSummary", kShell,
     withEchoPeer("exec {vtkit} frame echo 0",
                  "{vtkit} frame send 127.0.0.1 $P hi; kill -INT $p; wait $p; echo status=$?; sed "
                  "'s/:[0-9]*$/:N/' echo.out"),
     0, "vtkit: interrupted after 1 message\n",
     "hi\nstatus=130\necho peer listening on 127.0.0.1:N\nechoed 1 message\n"},
    {"EchoWaitsWhileOutOfDescriptors", kShell,
     withEchoPeer("ulimit -n 16; exec {vtkit} frame echo 0 --count 1",
                  "bash -c 'for i in $(seq 24); do exec {f}<>/dev/tcp/127.0.0.1/$0; done; sleep "
                  "0.5' $P; {vtkit} frame send 127.0.0.1 $P hi; wait $p; echo status=$?"),
     0, "", "hi\nstatus=0\n"},
    // No thread fits: each would take a 4 GB stack, in 3 GB of address space.
    {"EchoClosesAConnectionThatGetsNoThread", kShell,
     withEchoPeer("ulimit -s 4000000; ulimit -v 3000000; exec {vtkit} frame echo 0",
                  "{vtkit} frame send 127.0.0.1 $P hi > /dev/null 2>&1; kill -INT $p; wait $p; "
                  "echo status=$?; sed 1d echo.out"),
     0,
     "vtkit: echo peer: connection closed: cannot start a thread: Resource temporarily "
     "unavailable\nvtkit: interrupted after 0 messages\n",
     "status=130\nechoed 0 messages\n"},
    {"TourReportsASectionThatGetsNoThread", kShell,
     "ulimit -s 4000000; ulimit -v 3000000; {vtkit} > /dev/null", 1,
     "vtkit: tour, Networking: cannot start a thread: Resource temporarily unavailable\n"},
    {"TourInterruptedInItsCaptureCleansUp", kShell,
     "printf '#!/bin/sh\\necho $$ > pid; sleep 1; exec /bin/sh \"$@\"\\n' > slow; chmod +x slow; "
     "COMSPEC=$PWD/slow TMPDIR=$PWD/tmp {vtkit} > /dev/null & p=$!; until [ -s pid ]; do sleep "
     "0.05; done; kill -TERM $p; wait $p 2>/dev/null; echo status=$?; kill -0 $(cat pid) "
     "2>/dev/null && echo left running; ls tmp",
     0, "", "status=143\n"},
    {"RunInterruptedEndsTheShellAndItsChildren", kShell,
     "TMPDIR=$PWD/tmp {vtkit} run '(trap \"\" INT; exec sleep 30) > /dev/null 2>&1 & echo $! > "
     "pid; wait' & p=$!; until [ -s pid ]; do "
     "sleep 0.05; done; kill -INT $p; wait $p; echo status=$?; ps -o stat= -p $(cat pid) | "
     "grep -qv ^Z && echo left behind; ls tmp",
     0, "vtkit: interrupted; the command ended with status 130\n", "status=130\n"},
    // The command's state is read until it is the one expected, for 5 seconds at most.
    {"RunHandsOnWhatTheTerminalSends", kShell,
     "st() { for i in $(seq 100); do s=$(ps -o stat= -p $(cat pid)); [ $s = $1 ] && break; sleep "
     "0.05; done; echo $s; }; {vtkit} run 'sleep 30 & echo $! > pid; wait' & p=$!; until [ -s pid "
     "]; do sleep 0.05; done; kill -TSTP $p; st T; kill -CONT $p; st S; kill -QUIT $p; wait $p; "
     "s=$?; ps -o stat= -p $(cat pid) | grep -qv ^Z && echo left behind; echo status=$s",
     0, "vtkit: interrupted; the command ended with status 131\n", "T\nS\nstatus=131\n"},
    {"RunEndsItsCommandWhenASignalEndsIt", kShell,
     "{vtkit} run 'sleep 30 & echo $! > pid; wait' & p=$!; until [ -s pid ]; do sleep 0.05; done; "
     "kill -USR1 $p; wait $p 2>/dev/null; s=$?; sleep 0.1; ps -o stat= -p $(cat pid) | grep -qv ^Z "
     "&& echo "
     "left behind; echo status=$s",
     0, "", "status=138\n"},
    // The second interrupt waits for the first to be handed on: two pending are one.
    {"RunStopsWaitingAfterASecondInterrupt", kShell,
     "{vtkit} run 'trap \"touch first; exit 130\" INT; setsid sleep 30 & echo $! > pid; wait' & "
     "p=$!; until [ -s pid ]; do sleep 0.05; done; kill -INT $p; until [ -e first ]; do sleep "
     "0.05; done; kill -INT $p; wait $p; echo status=$?; kill $(cat pid)",
     0, "vtkit: interrupted twice; the command was killed\n", "status=130\n"},
    {"RunEndsItsCommandWhenItsOutputIsGone", kShell,
     "{ until [ -e closed ]; do sleep 0.05; done; {vtkit} run 'echo a; sleep 2; touch late'; echo "
     "$? > status; } | (exec 0<&-; touch closed); [ -e late ] && echo waited; exit $(cat status)",
     7, kBroken},
    {"RunKillsACommandThatIgnoresItsLostOutputASecondLater", kShell,
     "{ until [ -e closed ]; do sleep 0.05; done; {vtkit} run 'trap \"\" PIPE; echo a; sleep 0.3; "
     "touch early; sleep 3; touch late'; echo $? > status; } | (exec 0<&-; touch closed); ls "
     "early late 2> /dev/null; exit $(cat status)",
     7, kBroken, "early\n"},
    {"RunStreamsWithoutATemporaryFile", kShell,
     intoShortReader("TMPDIR=$PWD/tmp {vtkit} run yes", 1000), 7, kBroken},
    // The tool said nothing, or exited 0, when it failed.
    {"DirectoryAsFile", nullptr, "{vtkit} xml fmt folder", 4, "vtkit: folder is a directory\n"},
    {"ReadError", kDevices, "{vtkit} xml tokens /proc/self/mem", 4,
     "vtkit: cannot read /proc/self/mem: Input/output error\n"},
    {"ClosedStandardInput", kShell, "{vtkit} xml fmt - <&-", 4,
     "vtkit: cannot read <stdin>: Bad file descriptor\n"},
    {"ClosedStandardDescriptorsHoldTheNullDevice", kDevices,
     "{vtkit} run 'readlink /proc/$PPID/fd/0 /proc/$PPID/fd/1 /proc/$PPID/fd/2 >&3' 3>&1 <&- >&- "
     "2>&-",
     0, "", "/dev/null\n/dev/null\n/dev/null\n"},
    {"FileSizeLimitIsAnOutputFailure", kShell, "ulimit -f 1; {vtkit} xml fmt deep.xml > big.out", 7,
     "vtkit: cannot write standard output: File too large\n"},
    {"EmptyFile", nullptr, "{vtkit} xml fmt empty.xml", 5, "vtkit: empty.xml: no element\n"},
    {"MissingFileSaysWhy", nullptr, "{vtkit} xml tokens absent.xml", 4,
     "vtkit: cannot open absent.xml: No such file or directory\n"},
    {"MalformedPrintsNothing", nullptr, "{vtkit} xml fmt bad.xml", 5,
     "vtkit: bad.xml:2: Document not well-formed. (>)\n"},
    {"FullDeviceForEveryCommand", kDevices,
     "for c in 'xml fmt nest.xml' 'xml find nest.xml a' 'xml tokens nest.xml' cpu diag "
     "'run \"echo x\"' 'env HOME' 'ls folder/*'; do eval {vtkit} $c > /dev/full; echo $?; done",
     0, times(kFull, 8), "7\n7\n7\n7\n7\n7\n7\n7\n"},
    {"TourRunsEverySection", nullptr, "{vtkit}", 0, "", nullptr},
    {"TourListsItsOwnFolderPastTheFirstGuessOfItsLength", kShell,
     "d=$PWD/$(printf '%0150d/%0150d' 0 0); mkdir -p $d && cp {vtkit} $d && $d/vtkit | grep "
     "'^ls ' | sed \"s|$d|D|\"",
     0, "", "ls D/vtkit*\n"},
    {"TourEndsTheLineOfAFailedCapture", kShell,
     "COMSPEC=/none {vtkit} | grep -A1 ^captured | sed 's/ [^ ]*vttmp[^ ]*/ T/'", 0, "",
     "captured: T is not accessible.\nCOMSPEC = /none\n"},
    // The interpreter, standing in for echo, shows the switch that the tour hands on.
    {"TourLeavesTheTraceSwitchAsItFoundIt", kShell,
     "printf '%s\\n' '#!/bin/sh' 'exec /bin/sh -c \"echo() { printf [%s] \\\"$" +
         std::string(utils::traceSwitchName) + "\\\"; }; $2\"' > sh; chmod +x sh; " +
         utils::traceSwitchName + "=keep COMSPEC=$PWD/sh {vtkit} | grep ^captured",
     0, "", "captured: [keep]\n"},
    {"DiagKeepsAValueOnItsLine", kShell, "JASSERT=\"$(printf 'a\\nb')\" {vtkit} diag | sed -n 2p",
     0, "", "JASSERT=a\\nb  JASSERT_FILELIST=(not set)\n"},
    {"RunExitsWithItsCommandsStatus", nullptr, "{vtkit} run \"exit 3\"", 3,
     "vtkit: the command ended with status 3\n"},
    {"RunGivesTheShellTheCommandAsItIs", kShell, "{vtkit} run 'echo hi # a note'", 0, "", "hi\n"},
    {"RunPassesErrorOutputOn", kShell, "{vtkit} run 'echo oops >&2; exit 4'", 4,
     "vtkit: the command ended with status 4\n", "oops\n"},
    {"GroupHelpListsItsCommands", nullptr, "{vtkit} xml --help", 0, "",
     "usage: vtkit xml COMMAND [ARGS...]\ncommands:\n"
     "  xml fmt       parse FILE (- for standard input) and write it back indented\n"
     "  xml find      elements named NAME: name, ancestors, attributes, text (tab-separated)\n"
     "  xml tokens    the tokenizer's tokens, one per line with its line number\n"},
    {"CommandHelpShowsItsUsage", nullptr, "{vtkit} frame send TEXT --help", 0, "",
     "usage: vtkit frame send [--timeout SECONDS] [--] HOST PORT TEXT\n"
     "  send TEXT as one frame to HOST:PORT and print the reply\n"
     "  --timeout SECONDS         give up after SECONDS (default 10)\n"},
    {"GroupAloneNeedsACommand", nullptr, "{vtkit} xml", 2,
     "vtkit: 'xml' needs a command (vtkit xml --help lists them)\n"},
    {"UnknownCommandInAGroup", nullptr, "{vtkit} xml fmtt", 2,
     "vtkit: unknown command 'xml fmtt' (vtkit xml --help lists them)\n"},
    {"UnknownCommand", nullptr, "{vtkit} frobnicate", 2,
     "vtkit: unknown command 'frobnicate' (vtkit --help lists them)\n"},
    {"CommentStartNeedsAnEnd", nullptr, "{vtkit} xml tokens nest.xml --ml-start \"/*\"", 3,
     "vtkit: --ml-start needs --ml-end (vtkit xml tokens --help shows the usage)\n"},
    {"VersionTakesNoArguments", nullptr, "{vtkit} --version extra", 3,
     "vtkit: --version takes no arguments (vtkit --help shows the usage)\n"},
    {"ControlCharactersInAMessageAreEscaped", kShell,
     "{vtkit} frame send \"$(printf 'no\\nhost')\" 1 x", 6, "vtkit: cannot resolve no\\nhost\n"},
    {"DoubleDashEndsTheOptions", nullptr, "{vtkit} env -- -h", 0, "", "NOT_DEFINED\n"},
    {"VersionIsTheLibrarys", nullptr, "{vtkit} --version", 0, "",
     "vtkit " VTSUPPORT_VERSION_STRING "\n"},
    {"NegativePortIsABadArgument", nullptr, "{vtkit} frame echo -1", 3,
     "vtkit: PORT must be between 0 and 65535, not -1 (vtkit frame echo --help shows the usage)\n"},
    {"PortMustBeANumber", nullptr, "{vtkit} frame send localhost http x", 3,
     "vtkit: PORT must be a number, not 'http' (vtkit frame send --help shows the usage)\n"},
    {"DottedAddressIsNotLookedUp", nullptr, "{vtkit} frame send 127.0.0.2 {unused} x", 6,
     "vtkit: Error: Cannot connect() to: 127.0.0.2 port: {unused}\n"},
    {"LsMissingDirectory", nullptr, "{vtkit} ls absent/*.txt", 4,
     "vtkit: cannot find the directory absent\n"},
    {"LsUnreadableDirectory", kRights, asNobody("ls 'locked/*'"), 4,
     "vtkit: cannot read the directory locked\n", "", kCanBeNobody},
    {"LsListsWhatMatches", nullptr, "{vtkit} ls \"nest.*\"", 0, "", "nest.xml\n"},
    {"LsNothingMatches", nullptr, "{vtkit} ls \"*.none\"", 4, "vtkit: nothing matches *.none\n"},
};
class VtkitRow : public testing::TestWithParam<Row> {};
TEST_P(VtkitRow, Behaves) {
    const Row& row = GetParam();
    if (windowsLeg && row.posixOnly != nullptr)
        GTEST_SKIP() << "the row " << row.posixOnly;
    if (addressSanitizer && std::regex_search(row.line, std::regex("ulimit -[vn]")))
        GTEST_SKIP() << "the sanitizers need more address space and descriptors than the row "
                        "allows (a check of theirs that cannot open a pipe reports a fault)";
    if (row.needs != nullptr && runCommand(replaced(row.needs, "{vtkit}", tool())) != 0)
        GTEST_SKIP() << "this system cannot run the row: " << row.needs << " fails";
    const vttest::ScopedEnv active("JASSERT", "ON"); // an assertion the tool trips aborts the row
    vttest::ScratchDir dir;                          // with the documents and folders the rows name
    vttest::writeBytes(dir.file("bad.xml"), "<a>\n<b>1 > 0</b></a>");
    vttest::writeBytes(dir.file("empty.xml"), "");
    vttest::writeBytes(dir.file("nest.xml"), "<a><a x=\"1\"><a>t\x01</a></a></a>");
    vttest::writeBytes(dir.file("deep.xml"), times("<a>", 100000) + times("</a>", 100000));
    for (const char* folder : {"folder", "locked", "tmp"})
        FileUtils::makeDirectory(dir.file(folder), 0755);
    const vttest::PeerListener silent;
    const std::string unused = std::to_string(vttest::unusedPort());
    const auto ports = [&](const std::string& text) {
        return replaced(replaced(text, "{unused}", unused), "{silent}",
                        std::to_string(silent.port()));
    };
    EXPECT_EQ(row.status, runIn(dir, ports(row.line)));
    EXPECT_EQ(ports(row.err), vttest::readBytes(dir.file("err.txt")));
    if (row.out != nullptr) {
        EXPECT_EQ(row.out, vttest::readBytes(dir.file("out.txt")));
    }
}
INSTANTIATE_TEST_SUITE_P(Hostile, VtkitRow, testing::ValuesIn(rows),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });
} // namespace
