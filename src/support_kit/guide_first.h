#ifndef NETREVIVE_SUPPORT_KIT_GUIDE_FIRST_H_
#define NETREVIVE_SUPPORT_KIT_GUIDE_FIRST_H_

// The support guide's first screen: the one rule for the caller, what
// callers say in their own words with a link to each answer, and the
// guide's contents. The HTML page puts its search box above it.

#include <string>

namespace netrevive::support_kit {

// The first screen as Markdown, the guide's title first.
std::string FirstScreen();

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_GUIDE_FIRST_H_
