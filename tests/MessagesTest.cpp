// The texts are kept as code page 932 bytes; read back, each must be the
// very text the user is meant to see.
#include "Messages.h"

#include <string>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

std::string Cp932ToUtf8(const std::string& bytes)
{
#ifdef _WIN32
    int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
#else
    iconv_t cd = iconv_open("UTF-8", "CP932");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in = bytes, out(bytes.size() * 3, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t srcLeft = in.size(), dstLeft = out.size();
    EXPECT_NE(iconv(cd, &src, &srcLeft, &dst, &dstLeft), static_cast<size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
#endif
}

TEST(MessagesTest, EachTextReadsAsWritten)
{
    const struct {
        const char* bytes;
        const char* text;
    } texts[] = {
        {MSG_NOT_X_FILE, u8"Xファイルではありません"},
        {MSG_NOT_TEXT_X_FILE, u8"テキスト形式のXファイルではありません"},
        {MSG_NO_FILE, u8"ファイルが存在しません"},
        {MSG_CREATE_FAILED, u8"ファイル生成に失敗"},
        {MSG_COPY_FAILED, u8"ファイルが見つかりません"},
        {MSG_NO_MATERIAL_LIST, u8"マテリアルリストが見つかりません"},
        {MSG_LINE_TOO_LONG, u8"行が長すぎます"},
        {MSG_IS_WORK_FILE, u8"作業ファイルは変換できません"},
        {MSG_WRITE_FAILED, u8"ファイル書き込みに失敗"},
        {MSG_READ_FAILED, u8"ファイル読み込みに失敗"},
        {MSG_NO_FNAME, u8"ファイル名が入力されていません"},
        {MSG_NO_PATH, u8"パスが入力されていません"},
        {MSG_FNAME_TOO_LONG, u8"ファイル名が長すぎます"},
        {MSG_PATH_TOO_LONG, u8"パスが長すぎます"},
        {MSG_FNAME_UNWRITABLE, u8"ファイル名に使えない文字が含まれています"},
        {MSG_PATH_UNWRITABLE, u8"パスに使えない文字が含まれています"},
        {MSG_ONE_FILE_ONLY, u8"ドロップできるファイルは一つだけです"},
        {MSG_DONE, u8"変換が完了しました"},
        {CAPTION_DONE, u8"確認"},
        {CAPTION_MAIN, u8"Zuvi_Xファイル変換"},
    };
    for (const auto& t : texts)
        EXPECT_EQ(Cp932ToUtf8(t.bytes), t.text);
}

}  // namespace
