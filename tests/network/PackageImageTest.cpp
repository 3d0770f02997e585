#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <future>

#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "tests/support/TestBackend.h"

using nlohmann::json;

namespace {

struct GdiplusSession {
    ULONG_PTR token = 0;
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    ~GdiplusSession() { Gdiplus::GdiplusShutdown(token); }
};

std::shared_ptr<Package> Offer(const std::string& image) {
    json offer = {{"ad", {{"o", "img"}, {"f", "f"}}}, {"ps", {{"i", image}, {"dn", "D"}, {"u", "u"}}}};
    return std::make_shared<Package>(EventContext{}, offer, false, "", 0);
}

}  // namespace

TEST(PackageImage, DownloadsDecodesAndAlwaysCallsBack) {
    GdiplusSession gdiplus;
    TestBackend backend;
    backend.SetScenario({{"files", backend.filesDir}});
    ConfigurationManager::GetInstance()->imageBaseUrl = L"https://localhost/f/";

    for (const auto& [name, expectImage] : {std::pair<std::string, bool>{"offer1.png", true}, {"missing.png", false}}) {
        SCOPED_TRACE(name);
        auto package = Offer(name);
        std::promise<DWORD> called;
        package->DownloadImage([&called] { called.set_value(GetCurrentThreadId()); });
        auto future = called.get_future();
        ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_NE(future.get(), GetCurrentThreadId());
        EXPECT_EQ(package->image != nullptr, expectImage);
        if (package->image) {
            EXPECT_GT(package->image->GetWidth(), 0u);
        }
    }

    // The product has no image to fetch: its callback runs before DownloadImage returns.
    auto product = std::make_shared<Package>(EventContext{}, true, 0, L"p", L"", L"t", L"", 0);
    bool called = false;
    product->DownloadImage([&called] { called = true; });
    EXPECT_TRUE(called);
}
