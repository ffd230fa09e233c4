// The native build reads no regional settings: it has the neutral ones, which
// read "yyyy-MM-dd" dates, a 24-hour clock with ':' and "AM"/"PM".

#include <ctime>

#include "platform/locale.h"

namespace platform {

int CurrentLocalYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return 1970;  // only for a clock far outside the calendar
    }
    return local.tm_year + 1900;
}

base::TFormatSettings ReadUserFormatSettings() {
    base::TFormatSettings settings;
    settings.two_digit_year_century_window = 50;
    settings.current_year = CurrentLocalYear();
    return settings;
}

}  // namespace platform
