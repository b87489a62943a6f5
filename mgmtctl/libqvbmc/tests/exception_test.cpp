#include "ipmexception.h"
#include "qvbmc.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(IpmException, NewExceptionReplacesCurrentAndUnregisterDeletesIt)
{
    auto* first = new CIPMException(0xA0010000u, "A::b", "if ( x )", "first");
    EXPECT_EQ(g_pGlobalIPMException, first);
    auto* second = new CIPMException(0xA00D0000u, "No path to hardware");
    EXPECT_EQ(g_pGlobalIPMException, second);
    auto* copy = new CIPMException(*second);  // copying the current one deletes it
    EXPECT_EQ(g_pGlobalIPMException, copy);
    EXPECT_STREQ(copy->GetErrorMessage(), "No path to hardware");
    UnRegisterWithAPI();
    EXPECT_EQ(g_pGlobalIPMException, nullptr);
    UnRegisterWithAPI();
}

TEST(IpmException, FormattedOutputShowsCodeTitleAndExtraData)
{
    auto* e = new CIPMException(0xA00D0000u, "No path to hardware");
    const std::string banner(78, '>');
    EXPECT_EQ(std::string(e->GetFormattedOutput(nullptr)),
              banner + "\n>>  IPMAPI Exception!\n>>\n"
                       ">>  Error Code:          2685206528 (0xa00d0000)\n"
                       ">>  Error Message:       No path to hardware\n" +
                  banner + "\n");

    std::string title(100, 'T');
    std::string out = e->GetFormattedOutput(title.data());
    EXPECT_NE(out.find(">>  " + std::string(78, 'T') + "\n"), std::string::npos);
    EXPECT_EQ(title.size(), 100u);

    unsigned char extra[20];
    for (int i = 0; i < 20; ++i) extra[i] = static_cast<unsigned char>('A' + i);
    auto* withData = new CIPMException(1u, extra, 20);
    out = withData->GetFormattedOutput(nullptr);
    EXPECT_NE(out.find(">>  0000: 41 42 43 44 45 46 47 48   49 4a 4b 4c 4d 4e 4f 50   ABCDEFGHIJKLMNOP\n"),
              std::string::npos);
    EXPECT_NE(out.find(">>  0010: 51 52 53 54 " + std::string(3 * 12 + 2, ' ') + "  QRST\n"),
              std::string::npos);
    UnRegisterWithAPI();
}

TEST(IpmException, CompletionCodeMessagesComeFromTheTable)
{
    EXPECT_EQ(qv::bmc::completionCodeMessage(0xC9), "Parameter Out Of Range (0x00c9)");
    EXPECT_EQ(qv::bmc::completionCodeMessage(0x42), "Unknown Error (0x0042)");
    EXPECT_EQ(qv::bmc::completionCodeMessage(0x107), "MMC: Output Buffer Too Small  (0x0107)");
}

TEST(IpmException, DumpBytes)
{
    EXPECT_STREQ(DumpBytes(nullptr, 3), "NULL");
    unsigned char bytes[] = {0x01, 0xAB, 0xFF};
    EXPECT_STREQ(DumpBytes(bytes, 3), "01 ab ff ");
    EXPECT_STREQ(DumpBytes(bytes, -1), "");
    CleanupAPI();
}

} // namespace
