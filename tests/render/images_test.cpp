#include "render/images.h"
#include "support/sdl_support.h"
#include "world/globals.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <string>

namespace {

using sdltest::MediaTest;
using sdltest::TempWorkDir;
using sdltest::WriteBmp;
using sdltest::WriteFile;

class ImageListTest : public MediaTest {};

int TextureWidth(SDL_Texture* texture)
{
    int w = 0;
    int h = 0;
    SDL_QueryTexture(texture, nullptr, nullptr, &w, &h);
    return w;
}

TEST_F(ImageListTest, LinesFillTheirSlotsAndFailuresKeepTheNumbering)
{
    TempWorkDir dir;
    ASSERT_TRUE(WriteBmp("one.bmp", 10, 10, 255, 0, 0));
    ASSERT_TRUE(WriteBmp("three.bmp", 30, 30, 0, 255, 0));
    ASSERT_TRUE(WriteBmp("four.bmp", 40, 40, 0, 0, 255));
    // Line 2 is blank, line 4 ends in a carriage return, line 5 names a
    // missing file, line 6 has trailing blanks.
    WriteFile("Liste.txt", "one.bmp\n\nthree.bmp\nfour.bmp\r\nmissing.png\nthree.bmp  \n");

    testing::internal::CaptureStdout();
    loadImages("Liste.txt");
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(texturesUsed, 7);
    EXPECT_EQ(Images[0], nullptr);
    EXPECT_EQ(TextureWidth(Images[1]), 10);
    EXPECT_EQ(Images[2], nullptr);
    EXPECT_EQ(TextureWidth(Images[3]), 30);
    EXPECT_EQ(TextureWidth(Images[4]), 40);
    EXPECT_EQ(Images[5], nullptr);
    EXPECT_NE(out.find("Unable to load image ! SDL_image Error: "), std::string::npos) << out;
    EXPECT_NE(out.find("Unable to load image missing.png! SDL_image Error: "), std::string::npos)
        << out;
    // The name is used as it stands; Windows itself drops trailing blanks
    // from file names, so there line 6 names three.bmp.
#ifdef _WIN32
    EXPECT_EQ(TextureWidth(Images[6]), 30);
    EXPECT_EQ(out.find("three.bmp"), std::string::npos) << out;
#else
    EXPECT_EQ(Images[6], nullptr);
    EXPECT_NE(out.find("Unable to load image three.bmp  ! SDL_image Error: "), std::string::npos)
        << out;
#endif
    EXPECT_EQ(out.find("four.bmp"), std::string::npos) << out;
}

TEST_F(ImageListTest, TrailingBlanksArePartOfTheFileName)
{
    TempWorkDir dir;
    ASSERT_TRUE(WriteBmp("pic.bmp  ", 12, 12, 1, 2, 3));
    WriteFile("Liste.txt", "pic.bmp  \n");
    testing::internal::CaptureStdout();
    loadImages("Liste.txt");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(TextureWidth(Images[1]), 12);
    EXPECT_EQ(texturesUsed, 2);
}

TEST_F(ImageListTest, MissingOrEmptyListLoadsNothingSilently)
{
    TempWorkDir dir;
    testing::internal::CaptureStdout();
    loadImages("Liste.txt");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(texturesUsed, 1);
    EXPECT_EQ(Images[1], nullptr);

    WriteFile("Liste.txt", "");
    loadImages("Liste.txt");
    EXPECT_EQ(texturesUsed, 1);
    EXPECT_EQ(Images[1], nullptr);
}

TEST_F(ImageListTest, UnreadableImageDataGivesTheLoadMessage)
{
    TempWorkDir dir;
    static const char junk[] = "\x89PNG\r\n\x1a\n\0\0garbage";
    WriteFile("junk.png", std::string(junk, sizeof junk - 1));
    WriteFile("empty.bmp", "");
    WriteFile("Liste.txt", "junk.png\nempty.bmp\n");
    testing::internal::CaptureStdout();
    loadImages("Liste.txt");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Images[1], nullptr);
    EXPECT_EQ(Images[2], nullptr);
    EXPECT_NE(out.find("Unable to load image junk.png! SDL_image Error: "), std::string::npos);
    EXPECT_NE(out.find("Unable to load image empty.bmp! SDL_image Error: "), std::string::npos);
}

} // namespace
