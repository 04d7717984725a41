#pragma once
#include <cctype>
#include <string>

#include <gtest/gtest.h>

// Names a parameterised case after its description, for readable test lists.
template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    std::string name;
    for (const char* p = param.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}
