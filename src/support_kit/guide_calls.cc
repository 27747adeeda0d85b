// The support guide's calls it answers, and the recipes their advice links to.

#include "support_kit/guide_parts.h"

namespace netrevive::support_kit {

namespace {

std::string RecipesSection() {
  std::string md;
  for (const Recipe& recipe : Recipes()) {
    std::string title = recipe.link;
    title[0] = static_cast<char>(toupper(static_cast<unsigned char>(title[0])));
    md += Heading("###", recipe.anchor, title);
    std::string text = recipe.text;
    text[0] = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    md += Wrap(text + ".") + "\n";
  }
  return md;
}

}  // namespace

// The calls, then the recipes their advice links to.
std::string CallsSection() {
  std::string md = Heading("##", "calls", "Calls the guide answers");
  for (const GuideCall& call : GuideCalls()) {
    md += Heading("###", call.anchor, call.title);
    md += Wrap("- **Ask:** " + std::string(call.ask), "  ");
    md += Wrap("- **Check:** " + std::string(call.check), "  ");
    md += Wrap("- **Do:** " + std::string(call.action), "  ");
    md += "\n";
  }
  return md + RecipesSection();
}

// The advice with each recipe it spells out replaced by a link to it.
std::string WithRecipeLinks(const std::string& advice) {
  std::string text = advice;
  for (const Recipe& recipe : Recipes()) {
    const std::string link = "[" + std::string(recipe.link) + "](#" + recipe.anchor + ")";
    for (size_t at = 0; (at = text.find(recipe.text, at)) != std::string::npos; at += link.size()) {
      text.replace(at, strlen(recipe.text), link);
    }
  }
  return text;
}

}  // namespace netrevive::support_kit
