#pragma once
// Dial-up networking. Linux has no dial-up phone book for a program to dial from, so the list
// is empty, the setup dialog offers "None" only, and a send never dials.

#include <string>
#include <vector>

namespace tunquil {

class TagRas {
public:
    // The names of the phone book's entries, in order.
    static std::vector<std::string> PhoneBook() { return {}; }
};

} // namespace tunquil
