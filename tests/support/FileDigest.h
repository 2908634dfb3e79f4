#pragma once

// SHA-256 of a written movie database with its dates set to zero, so that two
// runs that write the same movie at different times give the same digest.

#include <string>

namespace vantrel::test {

// Lower-case hex SHA-256 of the file at path after zeroing the creation,
// modification and backup dates of its database header (all three are the
// time of writing). Empty when the file
// cannot be read or is shorter than a database header.
std::string movieDigest(const std::string& path);

}  // namespace vantrel::test
