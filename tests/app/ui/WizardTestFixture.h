#pragma once
// A shown CUpgradeWizard with scripted message boxes (recorded, answered OK) for page tests.

#include "app/ui/CUpgradeWizard.h"
#include "app/ui/Resources.h"
#include "platform/Platform.h"
#include "platform/qt/QtNotifier.h"
#include "platform/qt/GuiTestApp.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct WizardFixture : ::testing::Test {
    platform::QtNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};
    std::unique_ptr<CUpgradeWizard> wizard;

    void SetUp() override
    {
        guiApp();
        notifier.setScript([](const platform::QtNotifier::Box&) { return platform::IDOK; });
        wizard = std::make_unique<CUpgradeWizard>();
        wizard->SetWizardMode();
    }
    void TearDown() override
    {
        if (wizard)
            wizard->hide();
        wizard.reset();
    }
    void start()
    {
        wizard->prepare();
        wizard->show();
        pumpEvents();
    }
    UpgradeSettings& settings() { return wizard->settings; }
    int active() const { return wizard->GetActivePage()->templateId(); }
    CPropertyPage& page() const { return *wizard->GetActivePage(); }
    void next()
    {
        wizard->PressButton(PSBTN_NEXT);
        pumpEvents();
    }
    void back()
    {
        wizard->PressButton(PSBTN_BACK);
        pumpEvents();
    }
    // Presses Next ('N') or Back ('B') for each step and checks the page it leads to.
    void walk(std::initializer_list<std::pair<char, int>> steps)
    {
        for (const auto& [press, expected] : steps) {
            press == 'N' ? next() : back();
            ASSERT_EQ(active(), expected) << "after " << press;
        }
    }
    void goTo(int templateId)
    {
        if (!wizard->isVisible())
            start();
        wizard->SetActivePage(wizard->pageIndexOfTemplate(templateId));
        pumpEvents();
    }
    // The page's area drawn anew as after being covered.
    void repaint()
    {
        CDialog::invalidateAll();
        pumpEvents();
    }
    std::vector<std::string> boxTexts() const
    {
        std::vector<std::string> t;
        for (const auto& b : notifier.boxes())
            t.push_back(b.text);
        return t;
    }
};
