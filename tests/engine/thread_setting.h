#pragma once
// Sets TOLVARINX_THREADS for as long as the object lives, then restores it.

#include <string>

class ThreadSetting {
public:
    // An empty value removes the variable.
    explicit ThreadSetting(const std::string& value);
    ~ThreadSetting();
    ThreadSetting(const ThreadSetting&) = delete;
    ThreadSetting& operator=(const ThreadSetting&) = delete;

private:
    bool hadValue_ = false;
    std::string oldValue_;
};

// Sets the variable to value, or removes it when value is empty.
void setThreadVariable(const std::string& value);
