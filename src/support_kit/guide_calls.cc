// The support guide's calls it answers, and the recipes their advice links to.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

namespace {

// The recipes, each a paragraph under its anchor.
std::string RecipesSection() {
  std::string md;
  for (const Recipe& recipe : Recipes()) {
    std::string title = recipe.link;
    title[0] = static_cast<char>(toupper(static_cast<unsigned char>(title[0])));
    std::string text = recipe.text;
    text[0] = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    md += "<a id=\"" + std::string(recipe.anchor) + "\"></a>\n\n" +
          Wrap("**" + title + ".** " + text + ".") + "\n";
  }
  return md;
}

// The calls' Markdown (code spans, bold, links) as HTML for a table cell.
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

}  // namespace

// The calls as one table, then the recipes their advice links to. Each
// call's anchor sits with what to do: the page's search shows the text after
// the anchor that begins "Do:".
std::string CallsSection() {
  std::string md = Heading("##", "calls", "Calls the guide answers");
  std::vector<std::vector<std::string>> rows;
  for (const GuideCall& call : GuideCalls()) {
    rows.push_back({"<b>" + InlineHtml(call.title) + "</b>", InlineHtml(call.ask),
                    InlineHtml(call.check),
                    "<a id=\"" + std::string(call.anchor) + "\"></a><span><b>Do:</b> " +
                        InlineHtml(call.action) + "</span>"});
  }
  return md +
         WideTable("calls", {15, 22, 18, 45}, {"The caller says", "Ask", "Check", "Do"}, rows) +
         "\n" + RecipesSection();
}

}  // namespace netrevive::support_kit
