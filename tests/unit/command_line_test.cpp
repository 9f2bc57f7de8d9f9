#include "instance/core/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, OneKnownSwitchOrNothing) {
    const struct {
        std::string arguments;
        AppCommand expected;
    } cases[] = {
        {"", AppCommand::kShow},
        {" \t ", AppCommand::kShow},
        {"/live", AppCommand::kLive},
        {"  /live  ", AppCommand::kLive},
        {"/LIVE", AppCommand::kLive},
        {"/stop", AppCommand::kStop},
        {"\t/Stop", AppCommand::kStop},
        {"/quit", AppCommand::kQuit},
        {"/live /stop", AppCommand::kUnknown},
        {"/live /live", AppCommand::kUnknown},
        {"/liv", AppCommand::kUnknown},
        {"/lives", AppCommand::kUnknown},
        {"live", AppCommand::kUnknown},
        {"-live", AppCommand::kUnknown},
        {"\"/live\"", AppCommand::kUnknown},
        {"/", AppCommand::kUnknown},
        {"/直播", AppCommand::kUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCommandLine(c.arguments), c.expected) << '"' << c.arguments << '"';
}
