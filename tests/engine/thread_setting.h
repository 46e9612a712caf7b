#pragma once
// Scoped thread-count settings: the engine's parameter, and the
// TOLVARINX_THREADS variable the front ends read.

#include <string>

// Sets setWorkerThreadCount for as long as the object lives, then restores
// the setting it replaced.
class ThreadSetting {
public:
    explicit ThreadSetting(unsigned count);
    ~ThreadSetting();
    ThreadSetting(const ThreadSetting&) = delete;
    ThreadSetting& operator=(const ThreadSetting&) = delete;

private:
    unsigned previous_;
};

// Sets TOLVARINX_THREADS for as long as the object lives, then restores it.
class ThreadVariable {
public:
    // An empty value removes the variable.
    explicit ThreadVariable(const std::string& value);
    ~ThreadVariable();
    ThreadVariable(const ThreadVariable&) = delete;
    ThreadVariable& operator=(const ThreadVariable&) = delete;

private:
    bool hadValue_ = false;
    std::string oldValue_;
};

// Sets the variable to value, or removes it when value is empty.
void setThreadVariable(const std::string& value);
