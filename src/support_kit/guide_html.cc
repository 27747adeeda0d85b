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
span.l { white-space: nowrap; }
table { border-collapse: collapse; margin: 0.5em 0; font-size: 9.5pt; }
th, td { border: 1px solid #666; padding: 0.2em 0.4em; vertical-align: top; text-align: left; }
th { background: #e8e8e8; }
td.no { font-weight: bold; }
figure { margin: 0.5em 0; } figure svg { max-width: 100%; height: auto; }
#search { position: sticky; top: 0; background: #fff; border-bottom: 2px solid #000;
          padding: 0.4em 0; z-index: 1; }
#search input { font-size: 12pt; width: 60%; }
#search-result { font-size: 10pt; margin-top: 0.2em; max-height: 60vh; overflow: auto; }
#search-result .hit { margin: 0.3em 0; } #search-result ul { margin: 0.1em 0; }
ul.says { columns: 2; column-gap: 2em; }
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

// The search: what the caller says, against the first screen's list of
// callers' words, and what the caller reads, against the index of screen
// lines. Both are compared on letters and digits only, without case, with
// the screens' misspellings read as the right words, so that blanks, line
// breaks and punctuation do not matter; a query may run on from one screen
// line into the line a run prints next, or give its words in any order.
// Each hit shows, under the box, the line, its endings or its stop with the
// question that tells them apart, and what the caller does.
constexpr const char kScriptHead[] = "(function () {\nvar fixes = [";
constexpr const char kScriptBody[] = R"js(];
var kShown = 4;
function norm(text) {
  text = text.toLowerCase().replace(/\s+/g, " ").trim();
  fixes.forEach(function (f) { text = text.split(f[0]).join(f[1]); });
  return text;
}
function bare(text) { return norm(text).replace(/[^a-z0-9]/g, ""); }
var rows = Array.prototype.slice.call(document.querySelectorAll("table.line-index tbody tr"));
// The index's lines, numbered from 1 as the page numbers them; several may
// share a row, which ends with their endings (span.e).
var items = Array.prototype.slice.call(document.querySelectorAll("table.line-index span.l"));
var lines = items.map(function (item) { return bare(item.querySelector("code").textContent); });
var nexts = items.map(function (item) {
  var next = item.getAttribute("data-next");
  return next ? next.split(",").map(function (n) { return Number(n) - 1; }) : [];
});
var says = Array.prototype.slice.call(document.querySelectorAll("ul.says li"));
function matches(text, q, words) {
  return text.indexOf(q) >= 0 ||
      (words.length > 1 && words.every(function (w) { return text.indexOf(w) >= 0; }));
}
function rowMatches(i, q, words) {
  if (matches(lines[i], q, words)) return true;
  return nexts[i].some(function (n) {
    var both = lines[i] + lines[n], at = both.indexOf(q);
    return at >= 0 && at < lines[i].length;
  });
}
// The paragraph or item after the anchor that starts with one of heads,
// without its head: what the caller does there.
function advice(anchor, heads) {
  var mark = document.getElementById(anchor);
  if (!mark) return "";
  var node = mark.parentNode.tagName === "P" ? mark.parentNode : mark;
  for (var step = 0; step < 12 && (node = node.nextElementSibling); step++) {
    if (node.querySelector && node.querySelector("a[id]")) break;
    var parts = node.tagName === "UL" ? Array.prototype.slice.call(node.children) : [node];
    for (var k = 0; k < parts.length; k++) {
      var text = parts[k].textContent.replace(/\s+/g, " ").trim();
      for (var h = 0; h < heads.length; h++) {
        if (text.indexOf(heads[h]) === 0) return text.substring(heads[h].length).trim();
      }
    }
  }
  return "";
}
function escapeHtml(text) {
  return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
}
function search(query) {
  var q = bare(query);
  var words = norm(query).split(" ").map(bare).filter(function (w) { return w.length > 0; });
  var out = document.getElementById("search-result");
  var endings = [], links = [], html = [], count = 0, calls = 0;
  says.forEach(function (li) {
    if (q.length === 0 || !matches(bare(li.textContent), q, words)) return;
    var a = li.querySelector("a");
    calls++;
    links.push(a.getAttribute("href"));
    var todo = advice(a.getAttribute("href").substring(1), ["Do:"]);
    html.push("<div class=\"hit\">" + a.outerHTML + (todo ? "<br>Do: " + escapeHtml(todo) : "") +
              "</div>");
  });
  var shown = [];
  items.forEach(function (item, i) {
    var row = item.parentNode.parentNode, cell = row.querySelector("span.e");
    if (q.length === 0 || !rowMatches(i, q, words)) return;
    if (shown.indexOf(row) < 0) shown.push(row);
    count++;
    var told = [];
    cell.querySelectorAll("a").forEach(function (a) {
      var href = a.getAttribute("href");
      if (links.indexOf(href) < 0) links.push(href);
      if (!a.classList.contains("ending")) return;
      var name = href.replace(/^#ending-/, "");
      if (endings.indexOf(name) < 0) endings.push(name);
      if (told.some(function (t) { return t.name === name; })) return;
      told.push({name: name, title: a.getAttribute("title") || a.textContent});
    });
    if (count > kShown) return;
    // The cell as the result shows it: each ending and stop by its title, each line
    // that tells endings apart by its words.
    var full = cell.cloneNode(true);
    full.querySelectorAll("a.ending, a.stop").forEach(function (a) {
      a.textContent = a.getAttribute("title") || a.textContent;
    });
    full.querySelectorAll("a.line").forEach(function (a) {
      var at = Number(a.textContent) - 1;
      if (items[at]) a.innerHTML = items[at].querySelector("code").outerHTML;
    });
    var tell = told.map(function (t) {
      var todo = advice("ending-" + t.name, ["What the caller does."]);
      return todo ? "<li>" + escapeHtml(t.title) + ": " + escapeHtml(todo) + "</li>" : "";
    }).join("");
    html.push("<div class=\"hit\">" + item.querySelector("code").outerHTML + " " +
              full.innerHTML + (tell ? "<ul>" + tell + "</ul>" : "") + "</div>");
  });
  rows.forEach(function (row) { row.hidden = q.length > 0 && shown.indexOf(row) < 0; });
  out.setAttribute("data-endings", endings.join(" "));
  out.setAttribute("data-lines", String(count));
  out.setAttribute("data-links", links.join(" "));
  if (q.length === 0) { out.innerHTML = ""; return; }
  if (count + calls === 0) { out.innerHTML = "Nothing matches: type a few words of the line."; return; }
  if (count > kShown) {
    html.push("<div>" + (count - kShown) + " more lines match: type more of the line, or see " +
              "<a href=\"#what-the-caller-reads\">the index</a>.</div>");
  }
  out.innerHTML = html.join("");
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
      "<div id=\"search\"><label for=\"q\">What the caller says or reads: </label>"
      "<input id=\"q\" type=\"search\" autocomplete=\"off\" "
      "placeholder=\"what the caller says or reads, such as I closed it\">\n"
      "<div id=\"search-result\" data-endings=\"\" data-lines=\"0\" data-links=\"\"></div>"
      "</div>\n" +
      body + "<script>\n" + kScriptHead + fixes + kScriptBody + "</script>\n</body>\n</html>\n";
  return WriteGuideFile(dir + "/support-guide.html", page, error);
}

}  // namespace netrevive::support_kit
