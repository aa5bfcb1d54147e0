#include "tests/win/support/AudioDriverSetting.h"

#include <cstring>
#include <vector>

namespace {

const char kDriversKey[] = "Software\\Wine\\Drivers";
const char kAudioValue[] = "Audio";

} // namespace

AudioDriverSetting::AudioDriverSetting(const char* driver) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDriversKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS) {
        key_ = nullptr;
        return;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key_, kAudioValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        // One byte more than asked for: a stored value may lack its terminator.
        std::vector<char> previous(size + 1, '\0');
        hadPrevious_ =
            RegQueryValueExA(key_, kAudioValue, nullptr, &type,
                             reinterpret_cast<BYTE*>(previous.data()), &size) == ERROR_SUCCESS;
        previous_ = previous.data();
    }
    applied_ = Set(driver);
}

AudioDriverSetting::~AudioDriverSetting() {
    if (key_ == nullptr) {
        return;
    }
    if (hadPrevious_) {
        Set(previous_.c_str());
    } else {
        RegDeleteValueA(key_, kAudioValue);
    }
    RegCloseKey(key_);
}

bool AudioDriverSetting::Set(const char* value) {
    return RegSetValueExA(key_, kAudioValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}
