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
