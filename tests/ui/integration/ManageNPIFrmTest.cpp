// The plug-in management dialog offscreen, over real plug-in folders.

#include "base/ScriptedHost.h"
#include "integration/PluginManager.h"
#include "platform/FakeRegistry.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/integration/TManageNPIFrm.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

namespace fs = std::filesystem;
using platform::RegistryRoot;
using Option = PluginManager::Option;

class ManageDialog : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiTestApp();
        dir.Write("program/NPtunqil.dll", "our plug-in");
        fs::create_directories(dir / "user/Program/Plugins");
        registry.WriteString(RegistryRoot::CurrentUser,
                             "Software\\Netscape\\Netscape Navigator\\Main", "Install Directory",
                             (dir / "user").string());
    }
    test::TempDir dir;
    ScriptedHost host;
    platform::FakeRegistry registry;
    PluginManager manager{host, registry, dir / "program", {}};
};

TEST_F(ManageDialog, ButtonsAndCaptionFollowWhatIsInstalled) {
    TManageNPIFrm dialog(manager);
    EXPECT_EQ(dialog.windowTitle(), " Manage Navigator plugin");
    EXPECT_EQ(dialog.StateGroup()->title(), " Tunquil is NOT installed as a Navigator plugin ");
    EXPECT_TRUE(dialog.InstallButton()->isEnabled());
    EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
    EXPECT_FALSE(dialog.ExecuteButton()->isEnabled());
    EXPECT_TRUE(dialog.OptionButton(Option::DisableWhileOpen)->isChecked());

    dialog.InstallButton()->click();
    EXPECT_EQ(host.LastMessage(), "1 instance(s) of Tunquil plugin have been installed.");
    EXPECT_EQ(dialog.StateGroup()->title(), " Tunquil is installed as a Navigator plugin ");
    EXPECT_FALSE(dialog.InstallButton()->isEnabled());
    EXPECT_TRUE(dialog.RemoveButton()->isEnabled());
    EXPECT_TRUE(dialog.ExecuteButton()->isEnabled());

    dialog.OptionButton(Option::Ignore)->setChecked(true);
    EXPECT_FALSE(dialog.ExecuteButton()->isEnabled());
    dialog.OptionButton(Option::ReEnable)->setChecked(true);
    ASSERT_TRUE(dialog.ExecuteButton()->isEnabled());
    dialog.ExecuteButton()->click();
    EXPECT_EQ(host.LastMessage(), "No disabled plugins found !");

    dialog.RemoveButton()->click();
    EXPECT_FALSE(fs::exists(dir / "user/Program/Plugins/NPtunqil.dll"));
    EXPECT_TRUE(dialog.InstallButton()->isEnabled());
}

TEST_F(ManageDialog, WithoutTheBrowserNothingIsOffered) {
    platform::FakeRegistry none;
    PluginManager noBrowser{host, none, dir / "program", {}};
    TManageNPIFrm dialog(noBrowser);
    EXPECT_EQ(dialog.StateGroup()->title(),
              " Netscape Navigator does not appear to be installed on your PC");
    EXPECT_FALSE(dialog.InstallButton()->isEnabled());
    EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
    EXPECT_FALSE(dialog.OptionButton(Option::Disable)->isEnabled());
}

} // namespace
} // namespace tunquil::ui
