// The formatting every section of the support guide uses: words wrapped to
// the page, screens as code blocks, HTML tables and links to endings.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string ShellQuote(const std::string& arg) {
  if (!arg.empty() &&
      arg.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=,:") ==
          std::string::npos) {
    return arg;
  }
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

// What a run printed after the banner, which every run shows first.
std::string AfterBanner(const std::string& output) {
  size_t at = output.find(kBannerEnd);
  return at == std::string::npos ? output : output.substr(at + sizeof kBannerEnd - 1);
}

// A fenced block of program output; the key presses as "[key]" lines.
std::string Block(const std::string& text) {
  std::string body = text;
  while (!body.empty() && (body.back() == '\n' || body.back() == ' ')) body.pop_back();
  size_t first = body.find_first_not_of('\n');
  body = first == std::string::npos ? "" : body.substr(first);
  return "```text\n" + body + "\n```\n";
}

namespace {

// The words of prose: blanks outside code spans (`...` and <code>...</code>)
// separate them; a code span keeps its blanks and is never broken.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool in_tag = false;
  bool in_backticks = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 6, "<code>") == 0) in_tag = true;
    if (text.compare(i, 7, "</code>") == 0) in_tag = false;
    if (text[i] == '`') in_backticks = !in_backticks;
    if (text[i] == ' ' && !in_tag && !in_backticks) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += text[i];
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

}  // namespace

// Prose broken at blanks into lines of at most kWidth characters where the
// words allow: the first line keeps the text's leading blanks, each later
// one starts with indent.
std::string Wrap(const std::string& text, const std::string& indent) {
  const size_t lead = text.find_first_not_of(' ');
  std::string out;
  std::string line = text.substr(0, lead == std::string::npos ? 0 : lead);
  bool empty = true;  // no word on the line yet
  for (const std::string& word : Words(text)) {
    if (!empty && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line = indent;
      empty = true;
    }
    line += (empty ? "" : " ") + word;
    empty = false;
  }
  return out + line + "\n";
}

std::string Html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A screen line as HTML: tabs as four blanks, blanks kept.
std::string ScreenHtml(const std::string& line) {
  std::string text;
  for (char c : line) text += c == '\t' ? std::string("    ") : std::string(1, c);
  return "<code>" + Html(text) + "</code>";
}

std::string Anchor(const std::string& ending) { return "ending-" + ending; }

// A link to an ending by its words, in Markdown.
std::string EndingLink(const std::string& name) {
  if (FindEnding(name) == nullptr) return "`" + name + "`";
  return "[" + EndingTitle(name) + "](#" + Anchor(name) + ")";
}

// Hand-written Markdown (code spans, bold, links) as HTML for a table cell.
std::string InlineHtml(const std::string& markdown) {
  std::string html;
  size_t at = 0;
  while (at < markdown.size()) {
    const char c = markdown[at];
    size_t end;
    if (c == '`' && (end = markdown.find('`', at + 1)) != std::string::npos) {
      html += "<code>" + Html(markdown.substr(at + 1, end - at - 1)) + "</code>";
      at = end + 1;
    } else if (markdown.compare(at, 2, "**") == 0 &&
               (end = markdown.find("**", at + 2)) != std::string::npos) {
      html += "<b>" + InlineHtml(markdown.substr(at + 2, end - at - 2)) + "</b>";
      at = end + 2;
    } else if (c == '[' && (end = markdown.find("](", at)) != std::string::npos &&
               markdown.find(')', end) != std::string::npos) {
      const size_t close = markdown.find(')', end);
      html += "<a href=\"" + Html(markdown.substr(end + 2, close - end - 2)) + "\">" +
              InlineHtml(markdown.substr(at + 1, end - at - 1)) + "</a>";
      at = close + 1;
    } else {
      html += Html(std::string(1, c));
      ++at;
    }
  }
  return html;
}

// A table as HTML, so that its rows can be broken into short lines and the
// search box can find it: a row wrapped at blanks between cells and words.
std::string HtmlTable(const std::string& cls, const std::vector<std::string>& heads,
                      const std::vector<std::vector<std::string>>& rows) {
  std::string out = "<table" + (cls.empty() ? std::string() : " class=\"" + cls + "\"") + ">\n";
  std::string header = "<thead><tr>";
  for (const std::string& head : heads) header += " <th>" + head + "</th>";
  out += Wrap(header + " </tr></thead>") + "<tbody>\n";
  for (const std::vector<std::string>& row : rows) {
    std::string cells = "<tr>";
    for (const std::string& cell : row) cells += " <td> " + cell + " </td>";
    out += Wrap(cells + " </tr>", "  ");
  }
  return out + "</tbody>\n</table>\n";
}

// A table across the page, its columns sharing the width by the percentages
// in widths; long words (paths, command lines) break anywhere, or the table
// would be wider than the page and the printed page scaled down.
std::string WideTable(const std::string& cls, const std::vector<int>& widths,
                      const std::vector<std::string>& heads,
                      const std::vector<std::vector<std::string>>& rows) {
  std::string cols = "<colgroup>";
  for (int width : widths) cols += "\n<col style=\"width: " + std::to_string(width) + "%\">";
  std::string table = HtmlTable(cls, heads, rows);
  const std::string head = "<table class=\"" + cls + "\">\n";
  return "<table class=\"" + cls + "\" style=\"width: 100%; overflow-wrap: anywhere\">\n" + cols +
         "</colgroup>\n" + table.substr(head.size());
}

std::string Heading(const std::string& level, const std::string& anchor, const std::string& title) {
  return "<a id=\"" + anchor + "\"></a>\n\n" + level + " " + title + "\n\n";
}

std::string DescribeRun(const RunReport& run, size_t number) {
  std::string line;
  for (size_t i = 0; i < run.argv.size(); ++i) line += (i ? " " : "") + run.argv[i];
  return "Run " + std::to_string(number) +
         (run.runonce_name.empty() ? ", the caller starts it"
                                   : ", Windows starts it after the restart") +
         ": `" + line + "`";
}

}  // namespace netrevive::support_kit
