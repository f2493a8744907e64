// Names of the estimation methods.
#include "settings/method.h"

#include <cctype>

namespace zentrel {

namespace {
bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}
}  // namespace

std::optional<Method> parseMethod(std::string_view text) {
    for (Method m : kMethods)
        if (sameLetters(text, methodName(m))) return m;
    return std::nullopt;
}

const char* methodName(Method method) {
    switch (method) {
        case Method::Robust: return "robust";
        case Method::Adaptive: return "adaptive";
        case Method::Kriging: return "kriging";
        case Method::Described: break;
    }
    return "described";
}

std::string methodTitle(Method method) {
    std::string title = methodName(method);
    title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
    return title;
}

std::string methodChoices() {
    std::string out;
    for (size_t i = 0; i < kMethods.size(); ++i) {
        if (i > 0) out += i + 1 == kMethods.size() ? " or " : ", ";
        out += methodName(kMethods[i]);
    }
    return out;
}

}  // namespace zentrel
