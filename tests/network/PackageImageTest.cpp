#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <set>

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

// Many offers' images at once, each answered slowly enough that they overlap: they share one session, so
// no more than six connections are ever made and connections are used again; every image arrives decoded.
TEST(PackageImage, ManyImagesShareAFewKeptAliveConnections) {
    GdiplusSession gdiplus;
    TestBackend backend;
    backend.SetScenario({{"files", backend.filesDir}, {"routes", {{{"path", "/f/offer2.png"}, {"delay", 0.2}}}}});
    ConfigurationManager::GetInstance()->imageBaseUrl = L"https://localhost/f/";
    const size_t mark = backend.Mark();

    const int count = 18;
    std::mutex mutex;
    std::condition_variable done;
    int pending = count;
    std::vector<std::shared_ptr<Package>> packages;
    for (int i = 0; i < count; ++i) {
        packages.push_back(Offer("offer" + std::to_string(i % 3 + 1) + ".png"));
        packages.back()->DownloadImage([&] {
            std::lock_guard<std::mutex> lock(mutex);
            if (--pending == 0)
                done.notify_one();
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(60), [&] { return pending == 0; }));
    }
    for (const auto& package : packages) {
        ASSERT_TRUE(package->image);
        EXPECT_EQ(package->image->GetPixelFormat(), PixelFormat32bppPARGB);
    }

    std::set<int> connections;
    int images = 0;
    for (const auto& request : backend.Requests(mark))
        if (request.at("path").get<std::string>().rfind("/f/", 0) == 0) {
            ++images;
            connections.insert(request.at("conn").get<int>());
        }
    EXPECT_EQ(images, count);
    EXPECT_LE(connections.size(), 6u);
    EXPECT_LT(connections.size(), static_cast<size_t>(count));
}
