// The image-resource loader and the picture control, with the program's own PNG resources.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "pagebase/ImageResource.h"
#include "pagebase/StaticFromImage.h"
#include "win32/Handle.h"

namespace {

class GdiplusTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token); }
    static ULONG_PTR token;
};
ULONG_PTR GdiplusTest::token = 0;

bool IsRed(COLORREF c) { return GetRValue(c) > 170 && GetGValue(c) < 110 && GetBValue(c) < 110; }
bool IsWhite(COLORREF c) { return GetRValue(c) > 235 && GetGValue(c) > 235 && GetBValue(c) > 235; }

std::string Describe(COLORREF c) {
    return "rgb(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
           std::to_string(GetBValue(c)) + ")";
}

// A PNG of one colour type and depth; `rows` are the scanlines, each with its filter byte.
std::vector<unsigned char> MakePng(std::uint32_t width, std::uint32_t height, unsigned char depth,
                                   unsigned char colourType, const std::vector<unsigned char>& rows) {
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [](std::vector<unsigned char>& out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<unsigned char>(value >> shift));
    };
    auto chunk = [&](const char* type, const std::vector<unsigned char>& data) {
        put32(png, static_cast<std::uint32_t>(data.size()));
        std::vector<unsigned char> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        png.insert(png.end(), body.begin(), body.end());
        put32(png, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    };
    std::vector<unsigned char> header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    chunk("IHDR", header);
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<unsigned char> packed(packedSize);
    compress(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()));
    packed.resize(packedSize);
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

}  // namespace

TEST_F(GdiplusTest, LoaderDecodesTheCompiledImages) {
    const struct {
        int id;
        const wchar_t* type;
        UINT size;
    } images[] = {{101, L"IMAGE_BLOB", 256}, {102, L"IMAGE_BLOB2", 512}, {103, L"IMAGE_BLOB3", 512}};
    for (const auto& image : images) {
        auto bitmap = LoadImageResource(GetModuleHandleW(nullptr), image.id, image.type);
        ASSERT_TRUE(bitmap) << image.id;
        EXPECT_EQ(bitmap->GetWidth(), image.size);
        EXPECT_EQ(bitmap->GetHeight(), image.size);
    }
    EXPECT_FALSE(LoadImageResource(GetModuleHandleW(nullptr), 104, L"IMAGE_BLOB3"));
    EXPECT_FALSE(LoadImageResource(GetModuleHandleW(nullptr), 101, L"IMAGE_BLOB2"));
    // Something that is no picture: a locale document.
    EXPECT_FALSE(LoadImageResource(GetModuleHandleW(nullptr), 101, L"LOCALE"));
}

// A picture is decoded when first wanted, once for every control that shows it while one holds it.
TEST_F(GdiplusTest, ControlsShowingOnePictureShareOneDecodedBitmap) {
    CStaticFromImage first, second, other;
    first.LoadImage(102, L"IMAGE_BLOB2");
    second.LoadImage(102, L"IMAGE_BLOB2");
    other.LoadImage(103, L"IMAGE_BLOB3");
    ASSERT_TRUE(first.GetImage());
    EXPECT_EQ(first.GetImage(), second.GetImage());
    ASSERT_TRUE(other.GetImage());
    EXPECT_NE(other.GetImage(), first.GetImage());
    EXPECT_EQ(other.GetImage()->GetWidth(), 512u);

    // Once no control holds it, the next one decodes it anew rather than finding a dangling one.
    first.SetImage(nullptr);
    second.SetImage(nullptr);
    CStaticFromImage later;
    later.LoadImage(102, L"IMAGE_BLOB2");
    ASSERT_TRUE(later.GetImage());
    EXPECT_EQ(later.GetImage()->GetWidth(), 512u);
}

// The 512-pixel cross drawn into controls of two shapes: always scaled to the whole client area.
TEST_F(GdiplusTest, PictureFillsTheControlWhateverItsShape) {
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    const struct {
        int width, height;
    } shapes[] = {{45, 45}, {160, 60}};
    for (const auto& shape : shapes) {
        HWND control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 20, 20, shape.width,
                                       shape.height, window, nullptr, nullptr, nullptr);
        SetWindowPos(control, nullptr, 0, 0, shape.width, shape.height, SWP_NOMOVE | SWP_NOZORDER);
        CStaticFromImage picture;
        ASSERT_TRUE(picture.Attach(control));
        picture.LoadImage(103, L"IMAGE_BLOB3");
        ASSERT_TRUE(picture.GetImage());
        UpdateWindow(window);
        UpdateWindow(control);

        HDC dc = GetDC(control);
        const int w = shape.width, h = shape.height;
        const COLORREF centre = GetPixel(dc, w / 2, h / 2);
        const COLORREF top = GetPixel(dc, w / 2, h * 12 / 100);      // disc above the cross
        const COLORREF left = GetPixel(dc, w * 10 / 100, h / 2);     // disc left of the cross
        const COLORREF corner = GetPixel(dc, 1, 1);                  // outside the disc
        ReleaseDC(control, dc);
        EXPECT_TRUE(IsWhite(centre)) << w << "x" << h << " centre " << Describe(centre);
        EXPECT_TRUE(IsRed(top)) << w << "x" << h << " top " << Describe(top);
        EXPECT_TRUE(IsRed(left)) << w << "x" << h << " left " << Describe(left);
        EXPECT_FALSE(IsRed(corner)) << w << "x" << h << " corner " << Describe(corner);
        DestroyWindow(control);
    }
    DestroyWindow(window);
}

// Without an image the control paints nothing, not even its own background: what shows is the green
// its parent painted under it. The picture drawn afterwards proves the pixels are the control's.
TEST_F(GdiplusTest, WithoutAnImageNothingIsDrawnAndTheImageIsShared) {
    const COLORREF green = RGB(0, 160, 0);
    UniqueBrush brush(CreateSolidBrush(green));
    WNDCLASSW parentClass{};
    parentClass.lpfnWndProc = DefWindowProcW;
    parentClass.hInstance = GetModuleHandleW(nullptr);
    parentClass.hbrBackground = brush.get();
    parentClass.lpszClassName = L"FennixGreenParent";
    ASSERT_TRUE(RegisterClassW(&parentClass));
    HWND parent = CreateWindowExW(WS_EX_TOPMOST, parentClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 300, 120,
                                  120, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent);
    HWND control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 20, 20, 60, 60, parent,
                                   nullptr, nullptr, nullptr);
    CStaticFromImage picture;
    ASSERT_TRUE(picture.Attach(control));
    picture.LoadImage(999, L"IMAGE_BLOB3");
    EXPECT_FALSE(picture.GetImage());
    auto pixel = [&](int x, int y) {
        RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        HDC dc = GetDC(control);
        const COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(control, dc);
        return colour;
    };
    for (const POINT at : {POINT{30, 30}, POINT{30, 7}, POINT{1, 1}, POINT{58, 58}})
        EXPECT_EQ(pixel(at.x, at.y), green) << at.x << "," << at.y << " " << Describe(pixel(at.x, at.y));

    picture.LoadImage(103, L"IMAGE_BLOB3");
    ASSERT_TRUE(picture.GetImage());
    EXPECT_TRUE(IsRed(pixel(30, 7))) << Describe(pixel(30, 7));

    std::shared_ptr<Gdiplus::Image> image = LoadImageResource(GetModuleHandleW(nullptr), 102, L"IMAGE_BLOB2");
    picture.SetImage(image);
    EXPECT_EQ(image.use_count(), 2);
    picture.SetImage(nullptr);
    EXPECT_EQ(image.use_count(), 1);

    DestroyWindow(control);  // the control may go before the object
    EXPECT_EQ(picture.GetHwnd(), nullptr);
    DestroyWindow(parent);
    UnregisterClassW(parentClass.lpszClassName, parentClass.hInstance);
}

// Bytes from the network decoded on a worker: a complete premultiplied bitmap that keeps nothing of the
// caller's buffer, or nothing at all for bytes that are no picture.
TEST_F(GdiplusTest, DecodedBytesOwnTheirPixels) {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(103), L"IMAGE_BLOB3");
    ASSERT_TRUE(info);
    const auto* png = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, info)));
    auto bytes = std::make_unique<std::vector<unsigned char>>(png, png + SizeofResource(nullptr, info));
    std::shared_ptr<Gdiplus::Bitmap> picture = DecodeImage(bytes->data(), bytes->size());
    std::fill(bytes->begin(), bytes->end(), 0);
    bytes.reset();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->GetPixelFormat(), PixelFormat32bppPARGB);
    EXPECT_EQ(picture->GetWidth(), 512u);
    Gdiplus::Color centre, disc;
    ASSERT_EQ(picture->GetPixel(256, 256, &centre), Gdiplus::Ok);
    ASSERT_EQ(picture->GetPixel(256, 60, &disc), Gdiplus::Ok);
    EXPECT_TRUE(IsWhite(RGB(centre.GetR(), centre.GetG(), centre.GetB())));
    EXPECT_TRUE(IsRed(RGB(disc.GetR(), disc.GetG(), disc.GetB())));

    const unsigned char text[] = "<html>not a picture</html>";
    EXPECT_FALSE(DecodeImage(text, sizeof text));
    EXPECT_FALSE(DecodeImage(png, 0));
    EXPECT_FALSE(DecodeImage(nullptr, 16));
}

// Pictures as offers send them, decoded on a thread without COM of its own: opaque colour exactly, a
// half-transparent pixel premultiplied; a tiny file claiming a side over 4096 pixels is refused.
TEST_F(GdiplusTest, DecodesOfferPicturesOnAWorkerAndRefusesOversizedOnes) {
    const auto rgb = MakePng(2, 1, 8, 2, {0, 0xFF, 0x80, 0x00, 0x10, 0x20, 0x30});
    const auto rgba = MakePng(1, 1, 8, 6, {0, 0xFF, 0x00, 0x00, 0x80});
    std::vector<unsigned char> wideRows(1 + 5000 / 8, 0);
    const auto wide = MakePng(5000, 1, 1, 0, wideRows);

    std::shared_ptr<Gdiplus::Bitmap> opaque, translucent, oversized;
    std::thread([&] {
        opaque = DecodeImage(rgb.data(), rgb.size());
        translucent = DecodeImage(rgba.data(), rgba.size());
        oversized = DecodeImage(wide.data(), wide.size());
    }).join();

    auto pixels = [](Gdiplus::Bitmap& bitmap) {
        Gdiplus::Rect all(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
        Gdiplus::BitmapData data{};
        std::vector<std::uint32_t> out;
        if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) == Gdiplus::Ok) {
            const auto* row = static_cast<const std::uint32_t*>(data.Scan0);
            out.assign(row, row + data.Width);
            bitmap.UnlockBits(&data);
        }
        return out;
    };
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->GetPixelFormat(), PixelFormat32bppPARGB);
    EXPECT_EQ(pixels(*opaque), (std::vector<std::uint32_t>{0xFFFF8000u, 0xFF102030u}));
    ASSERT_TRUE(translucent);
    const std::vector<std::uint32_t> half = pixels(*translucent);
    ASSERT_EQ(half.size(), 1u);
    EXPECT_EQ(half[0] >> 24, 0x80u);
    EXPECT_NEAR(static_cast<int>((half[0] >> 16) & 0xFF), 0x80, 1) << std::hex << half[0];
    EXPECT_EQ(half[0] & 0xFFFF, 0u);
    EXPECT_FALSE(oversized);
}
