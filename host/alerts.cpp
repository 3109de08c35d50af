// Number formatting for messages; the platform forms of doAlertBox(text)
// live in mac/ and win/.
#include "host/alerts.h"

#include <sstream>

std::string stringify(double x) {
    std::ostringstream o;
    if (!(o << x)) throw BadConversion("stringify(double)");
    return o.str();
}

void doAlertBox(std::string text, long number) { doAlertBox(text + stringify(double(number))); }
