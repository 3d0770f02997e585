// A configuration of the test's own while the scope lives: ConfigurationManager::GetInstance returns
// it, built as the program builds its own, and the one before comes back at the end, so nothing a test
// sets outlives it. Header only: it needs the product's libraries, which the support library does not.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "config/BuildConfig.h"
#include "config/ConfigurationManager.h"

namespace testing_support {

class ScopedConfiguration {
public:
    explicit ScopedConfiguration(const std::wstring& wizardName = build::kWizardName)
        : own_(std::make_shared<ConfigurationManager>(wizardName)),
          previous_(ConfigurationManager::ReplaceInstance(own_)),
          startupFolder_(own_->tempFolder),
          config(*own_) {}
    ~ScopedConfiguration() {
        ConfigurationManager::ReplaceInstance(previous_);
        if (!startupFolder_.empty())
            RemoveDirectoryW(startupFolder_.c_str());  // the private folder its construction made, if still empty
    }
    ScopedConfiguration(const ScopedConfiguration&) = delete;
    ScopedConfiguration& operator=(const ScopedConfiguration&) = delete;

private:
    std::shared_ptr<ConfigurationManager> own_;
    std::shared_ptr<ConfigurationManager> previous_;
    std::wstring startupFolder_;

public:
    ConfigurationManager& config;
};

}  // namespace testing_support
