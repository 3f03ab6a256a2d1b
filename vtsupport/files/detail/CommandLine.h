// The text rules of command lines, written once for every system: which
// interpreter runs a command, how an interpreter's line must spell a name so
// that the interpreter reads that name and nothing else, how a Windows command
// line splits into a program's arguments, and how the file commands' argument
// text splits into words. Plain string work, so each rule is tested on every
// system, whichever system applies it.
#pragma once

#include <string>
#include <vector>

namespace vtsupport {
namespace detail {

// The two interpreters the library runs commands through: the Windows one
// (CMD.EXE, "/c") and the POSIX shell (/bin/sh, "-c").
enum class InterpreterSyntax { WindowsCmd, PosixShell };

// The interpreter of this system (implemented by each platform half).
InterpreterSyntax nativeInterpreterSyntax();

// The interpreter to run: COMSPEC when it is present, whatever its value (an
// empty one too, whose start then fails), else the syntax's own interpreter.
std::string interpreterProgram(InterpreterSyntax syntax);
// The switch that makes the interpreter run one command and exit.
const char* interpreterRunSwitch(InterpreterSyntax syntax);

// The characters that a backslash makes literal inside double quotes: those the
// interpreter still expands there, and the double quote; empty where quotes offer
// no such escape (CMD.EXE expands % inside quotes as well).
const char* escapedInDoubleQuotes(InterpreterSyntax syntax);

// `name` as one word of an interpreter line that the interpreter reads back as
// exactly `name`: unchanged when it holds nothing the interpreter reads
// specially, quoted otherwise. Empty when no quoting keeps the interpreter from
// changing it (CMD.EXE expands %NAME% inside quotes; a " cannot be quoted there)
// or when `name` is empty.
std::string interpreterWord(const std::string& name, InterpreterSyntax syntax);

// The line that runs `command` with its standard output and error going into
// the file `name`: command, " > ", the name as interpreterWord spells it,
// " 2>&1". A line that CMD.EXE would strip of its first and last double quote
// (one that begins with a quote) gets an outer pair, so the name keeps its own.
std::string redirectedCommand(const std::string& command, const std::string& name,
                              InterpreterSyntax syntax);

// Splits a command line into a program's arguments by the Windows rules:
// blanks and tabs separate, double quotes group; in all words but the program
// name, 2n backslashes before a quote give n backslashes and the quote groups,
// 2n+1 give n backslashes and a literal quote, other backslashes stay; two
// quotes inside quotes give one literal quote, and the quotes go on.
std::vector<std::string> splitWindowsCommandLine(const std::string& line);

// Appends the words of argument text written the way FileUtils::quote writes
// it: blanks and tabs separate, double quotes group, and inside double quotes
// a backslash makes the next $, backquote, double quote or backslash literal.
// Nothing else is special.
void appendQuotedArguments(const std::string& text, std::vector<std::string>& words);

} // namespace detail
} // namespace vtsupport
