// A network failure with its ready-made text; each caller turns it into its own result.
#pragma once
#include <windows.h>

#include <stdexcept>
#include <string>

class HttpError : public std::runtime_error {
public:
    // Where a body read stopped: the JSON post reports these steps in its own words.
    enum class Step { Other, QueryData, ReadData, Memory };

    explicit HttpError(const std::wstring& text, Step step = Step::Other, DWORD code = 0);
    const std::wstring& Text() const noexcept { return text_; }
    Step FailedStep() const noexcept { return step_; }
    DWORD Code() const noexcept { return code_; }

private:
    std::wstring text_;
    Step step_;
    DWORD code_;
};
