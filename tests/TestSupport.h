#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

std::string ReadBytes(const std::string& name);
void WriteBytes(const std::string& name, const std::string& bytes);
bool Exists(const std::string& name);

// The texts of the message boxes shown while f runs, in order. Each box is
// dismissed as soon as it has been read.
std::vector<std::string> CaptureBoxes(const std::function<void()>& f);
