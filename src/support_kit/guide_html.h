#ifndef NETREVIVE_SUPPORT_KIT_GUIDE_HTML_H_
#define NETREVIVE_SUPPORT_KIT_GUIDE_HTML_H_

// The support guide as one self-contained HTML page: the Markdown made into
// HTML by cmark-gfm, the pictures put inside the page, a print stylesheet,
// and a search box over the index of screen lines that forgives the
// screens' misspellings, their double blanks and case. The address can
// carry the search: support-guide.html#q=error+occurred+removing.

#include <string>

namespace netrevive::support_kit {

// Writes dir/support-guide.html from the Markdown; the pictures it names
// (dir/NAME.svg) go into the page. False with a message when cmark-gfm
// cannot be run, fails, or a file cannot be read or written.
bool WriteGuideHtml(const std::string& markdown, const std::string& dir, std::string* error);

// Writes one of the guide's files whole, through rehearsal::WriteWholeFile
// (PATH.new, then renamed over PATH), so that an interrupted or failed
// write leaves the old file as it was. False with "FILE WHY" in *error.
bool WriteGuideFile(const std::string& path, const std::string& text, std::string* error);

// Runs the shell command with input on its standard input; *output is what
// it wrote to out_path, which the command names. False with a message
// naming the program when it cannot be run or fails.
bool RunFilter(const std::string& command, const std::string& program, const std::string& input,
               const std::string& out_path, std::string* output, std::string* error);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_GUIDE_HTML_H_
