#pragma once

#include <windows.h>

#include <string>

// Chooses Wine's audio driver, HKCU\Software\Wine\Drivers "Audio", for the
// processes started while it lives ("x" selects the MIDI recorder, winex.drv;
// "" none), and puts the earlier setting back: the test prefix is shared by
// the whole suite. winmm reads the setting once per process, so it affects
// only processes started afterwards.
class AudioDriverSetting {
public:
    explicit AudioDriverSetting(const char* driver);
    ~AudioDriverSetting();
    AudioDriverSetting(const AudioDriverSetting&) = delete;
    AudioDriverSetting& operator=(const AudioDriverSetting&) = delete;

    // False when the registry refused the new value.
    bool Applied() const { return applied_; }

private:
    bool Set(const char* value);

    HKEY key_ = nullptr;
    std::string previous_;
    bool hadPrevious_ = false;
    bool applied_ = false;
};
