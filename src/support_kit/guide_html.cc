#include "support_kit/guide_html.h"

#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <system_error>

#include "rehearsal/files.h"
#include "support_kit/guide_text.h"

namespace netrevive::support_kit {

namespace {

constexpr const char kStyle[] = R"css(
body { font-family: "DejaVu Sans", Helvetica, Arial, sans-serif; font-size: 11pt;
       line-height: 1.35; max-width: 62em; margin: 0 auto; padding: 0 1em 2em; color: #000; }
h1 { font-size: 18pt; } h2 { font-size: 14pt; border-bottom: 1px solid #000; }
h3 { font-size: 12pt; } h4 { font-size: 11pt; }
pre { background: #f4f4f4; border: 1px solid #999; padding: 0.4em; font-size: 9pt;
      white-space: pre-wrap; overflow-wrap: anywhere; }
code { font-family: "DejaVu Sans Mono", "Courier New", monospace; }
td code { white-space: pre-wrap; }
table { border-collapse: collapse; margin: 0.5em 0; font-size: 9.5pt; }
th, td { border: 1px solid #666; padding: 0.2em 0.4em; vertical-align: top; text-align: left; }
th { background: #e8e8e8; }
td.no { font-weight: bold; }
figure { margin: 0.5em 0; } figure svg { max-width: 100%; height: auto; }
#search { position: sticky; top: 0; background: #fff; border-bottom: 2px solid #000;
          padding: 0.4em 0; z-index: 1; }
#search input { font-size: 12pt; width: 60%; }
#search-result { font-size: 10pt; margin-top: 0.2em; }
.page-break { break-after: page; page-break-after: always; }
@page { size: A4; margin: 12mm; }
@media print {
  body { font-size: 9.5pt; max-width: none; padding: 0; }
  #search { display: none; }
  a { color: #000; text-decoration: none; }
  pre { font-size: 8pt; background: none; margin: 0.3em 0; padding: 0.2em 0.4em; }
  p { margin: 0.35em 0; } h2 { margin: 0.8em 0 0.3em; } h3 { margin: 0.7em 0 0.2em; }
  table { margin: 0.3em 0; } th, td { padding: 0.1em 0.3em; }
  table { font-size: 8pt; } tr { break-inside: avoid; }
  tr[hidden] { display: table-row; }
  h2, h3 { break-after: avoid; }
}
)css";

// The search over the index of screen lines: each word of the query must
// be in the line, compared without case, with runs of blanks as one blank
// (or none), and the screens' misspellings read as the right words.
constexpr const char kScriptHead[] = "(function () {\nvar fixes = [";
constexpr const char kScriptBody[] = R"js(];
function norm(text) {
  text = text.toLowerCase().replace(/\s+/g, " ").trim();
  fixes.forEach(function (f) { text = text.split(f[0]).join(f[1]); });
  return text;
}
function search(query) {
  var words = norm(query).split(" ").filter(function (w) { return w.length > 0; });
  var rows = document.querySelectorAll("table.line-index tbody tr");
  var count = 0, endings = [], links = [];
  rows.forEach(function (row) {
    var line = norm(row.cells[0].textContent), joined = line.replace(/ /g, "");
    var hit = words.length > 0 && words.every(function (w) {
      return line.indexOf(w) >= 0 || joined.indexOf(w.replace(/ /g, "")) >= 0;
    });
    row.hidden = words.length > 0 && !hit;
    if (!hit) return;
    count++;
    row.querySelectorAll("a.ending").forEach(function (a) {
      var name = a.getAttribute("href").replace(/^#ending-/, "");
      if (endings.indexOf(name) < 0) { endings.push(name); links.push(a.outerHTML); }
    });
  });
  var out = document.getElementById("search-result");
  out.setAttribute("data-endings", endings.join(" "));
  out.setAttribute("data-lines", String(count));
  if (words.length === 0) { out.innerHTML = ""; return; }
  out.innerHTML = count === 0 ? "No line of the program matches." :
      count + (count === 1 ? " line matches" : " lines match") +
      " (shown in the index below). Endings: " + links.join(", ");
}
function fromAddress() {
  var m = /^#q=(.*)$/.exec(window.location.hash);
  return m ? decodeURIComponent(m[1].replace(/\+/g, " ")) : null;
}
var box = document.getElementById("q");
box.addEventListener("input", function () {
  search(box.value);
  history.replaceState(null, "", "#q=" + encodeURIComponent(box.value).replace(/%20/g, "+"));
});
function start() {
  var query = fromAddress();
  if (query !== null) { box.value = query; search(query); }
}
window.addEventListener("hashchange", start);
start();
})();
)js";

// Puts each <img src="NAME.svg" .../> of the page's own pictures inside the
// page, so that the file stands alone.
bool InlinePictures(const std::string& dir, std::string* html, std::string* error) {
  size_t at = 0;
  while ((at = html->find("<img src=\"", at)) != std::string::npos) {
    const size_t name_start = at + 10;
    const size_t name_end = html->find('"', name_start);
    const size_t tag_end = html->find("/>", name_start);
    if (name_end == std::string::npos || tag_end == std::string::npos) break;
    const std::string name = html->substr(name_start, name_end - name_start);
    if (name.find('/') != std::string::npos || name.size() < 5 ||
        name.compare(name.size() - 4, 4, ".svg") != 0) {
      *error = "the guide names a picture that is not its own: " + name;
      return false;
    }
    std::string svg;
    std::string why;
    const bool read = rehearsal::ReadWholeFile(dir + "/" + name, &svg, &why);
    const size_t svg_start = svg.find("<svg");
    if (!read || svg_start == std::string::npos) {
      *error = "cannot read the picture " + dir + "/" + name;
      return false;
    }
    svg = "<figure>" + svg.substr(svg_start) + "</figure>";
    html->replace(at, tag_end + 2 - at, svg);
    at += svg.size();
  }
  return true;
}

}  // namespace

bool WriteGuideFile(const std::string& path, const std::string& text, std::string* error) {
  std::string file, why;
  if (rehearsal::WriteWholeFile(path, text, &file, &why)) return true;
  *error = file + " " + why;
  return false;
}

bool RunFilter(const std::string& command, const std::string& program, const std::string& input,
               const std::string& out_path, std::string* output, std::string* error) {
  FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) {
    *error = "cannot start " + program;
    return false;
  }
  fwrite(input.data(), 1, input.size(), pipe);
  const int status = pclose(pipe);
  std::error_code ec;
  if (status != 0) {
    *error = program + " failed" +
             (WIFEXITED(status) && WEXITSTATUS(status) == 127 ? " (is it installed?)" : "");
    std::filesystem::remove(out_path, ec);
    return false;
  }
  std::string why;
  const bool read = rehearsal::ReadWholeFile(out_path, output, &why);
  std::filesystem::remove(out_path, ec);
  if (!read) {
    *error = "cannot read what " + program + " wrote";
    return false;
  }
  return true;
}

bool WriteGuideHtml(const std::string& markdown, const std::string& dir, std::string* error) {
  const std::string tmp = dir + "/support-guide.html.tmp";
  std::string body;
  if (!RunFilter("cmark-gfm --unsafe --extension table --to html > '" + tmp + "'",
                 "cmark-gfm (install the cmark-gfm package)", markdown, tmp, &body, error)) {
    return false;
  }
  if (!InlinePictures(dir, &body, error)) return false;
  std::string fixes;
  for (const Misspelling& word : Misspellings()) {
    fixes += std::string(fixes.empty() ? "" : ", ") + "[\"" + word.screen + "\", \"" + word.right +
             "\"]";
  }
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Netrevive support guide</title>\n<style>" +
      std::string(kStyle) +
      "</style>\n</head>\n<body>\n"
      "<div id=\"search\"><label for=\"q\">Find what the caller reads: </label>"
      "<input id=\"q\" type=\"search\" autocomplete=\"off\" "
      "placeholder=\"words from the screen, such as error occurred removing\">\n"
      "<div id=\"search-result\" data-endings=\"\" data-lines=\"0\"></div></div>\n" +
      body + "<script>\n" + kScriptHead + fixes + kScriptBody + "</script>\n</body>\n</html>\n";
  return WriteGuideFile(dir + "/support-guide.html", page, error);
}

}  // namespace netrevive::support_kit
