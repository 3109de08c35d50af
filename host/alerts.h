// Every message the plug-in shows goes through doAlertBox: a modal alert on
// the host's thread, captioned with the maker's name.
#pragma once

#include <stdexcept>
#include <string>

class BadConversion : public std::runtime_error {
public:
    explicit BadConversion(const std::string& s) : std::runtime_error(s) {}
};

std::string stringify(double x);
void doAlertBox(std::string text);
void doAlertBox(std::string text, long number);
