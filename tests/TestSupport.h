// What the tests share: a folder each, files as bytes, the boxes shown, a conversion.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ConvertXFile.h"

// Each test runs in a fresh directory of its own, made the current directory,
// since that is where the conversion puts its work file.
class InTempDir : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path dir;

private:
    std::filesystem::path previous;
};

// Names in the ANSI code page, as a user types them.
std::string ReadBytes(const std::string& name);  // "" where name is no file
void WriteBytes(const std::string& name, const std::string& bytes);
#ifdef _WIN32
// Names in UTF-16, for those that the ANSI code page can't spell.
std::string ReadBytes(const std::wstring& name);
void WriteBytes(const std::wstring& name, const std::string& bytes);
#endif
bool Exists(const std::string& name);
using Names = std::set<std::string>;
Names FilesIn(const std::filesystem::path& folder);
#ifdef _WIN32
// The index of name's file: a swap changes it, a copy over does not.
std::uint64_t IndexOf(const std::string& name);
#endif

// The texts of the message boxes shown while f runs, in order. Each box is
// dismissed as soon as it has been read.
std::vector<std::string> CaptureBoxes(const std::function<void()>& f);

// How the conversion of fname ended: "converted" (S_OK and no box), the one
// message it showed (E_FAIL), or anything else, told as a fault.
std::string Convert(const std::string& fname, const std::string& Path = "p\\");

// Expects the conversion of fname to fail with this one message and to leave
// the file input (fname where it is empty) as it was.
void ExpectRefused(const std::string& fname, const char* message, const std::string& input = "");
