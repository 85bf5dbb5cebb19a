// The changes between two listings of the in-memory registry (its text form),
// one line each: "+" a key or value that was added, "-" one that was removed,
// "~" a value whose data changed (the new data, then the old as "(was ...)"),
// and " " the line of a key that stayed, given before the changes of its values.
#pragma once

#include <string>

namespace scriptrun {

std::string DiffListings(const std::string& before, const std::string& after);

// A listing with its keys in the order the differences list them, which puts
// the keys listed under HKEY_CLASSES_ROOT together.
std::string SortListing(const std::string& listing);

}  // namespace scriptrun
