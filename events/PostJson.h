// HTTPS POST of a JSON text, shared by event reports and the configuration request.
#pragma once
#include <string>

#include "events/EventContext.h"

// Always port 443 and the URL's path without its query; https redirects are followed (at most five), so
// the status is never a 3xx. Appends the body to `response` and stores the status; returns true once a
// response arrived, whatever its status. Throws TrelvoException when none could be had.
bool PostJson(const std::wstring& url, const std::string& body, const HttpHeaders& headers, std::string& response,
              unsigned long& status);
