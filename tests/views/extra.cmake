# The wizard's size on a scaled screen: the same test under a 1.5 scale factor.
add_test(NAME ScreenFit.WizardOpensWithinTheAvailableArea.Scaled
         COMMAND tst_views --gtest_filter=ScreenFit.*)
set_tests_properties(ScreenFit.WizardOpensWithinTheAvailableArea.Scaled PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=1.5" TIMEOUT 120)
