// Arguments of "wayfind call" written on the command line, as Variants:
//   42, -7          Long
//   3.5             Double
//                   (a number written otherwise, as "007" or "1.50", stays text)
//   true, false     Boolean
//   -               an omitted optional argument (Empty)
//   null            Null
//   str:TEXT        the text TEXT as it stands (also for texts that look like numbers)
//   dict:K=V,K=V    a dictionary; each value read by the same rules (dict: alone is empty)
//   vector:A,B,C    a vector; each item read by the same rules
//   anything else   the text itself
#pragma once

#include <string>

#include "platform/automation/variant.h"

namespace wayfind::app {

platform::Variant parseCallArgument(const std::string& text);

}  // namespace wayfind::app
