# The escaped Chinese messages once more under a Chinese locale, where Wine gives the program the
# GBK OEM code page.
add_test(NAME unit_web_cp936 COMMAND unit_web --gtest_brief=1
         --gtest_filter=UnescapeText.ChineseEscapesBecomeOemCodePageBytes
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set_tests_properties(unit_web_cp936 PROPERTIES TIMEOUT 120 LABELS unit
                     ENVIRONMENT "LC_ALL=zh_CN.UTF-8;ZARVIK_EXPECT_OEMCP=936")
