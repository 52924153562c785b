#include "Controllers/ControllerRegistry.h"

#include "App/ViewControllerFactory.h"
#include "Controllers/LinkForms/EditLinkController.h"
#include "Controllers/LinkForms/NewLink2Controller.h"
#include "Controllers/LinkList/MainViewController.h"
#include "Controllers/LinkList/WorkspacesController.h"
#include "Controllers/Preferences/AboutController.h"
#include "Controllers/Preferences/PreferencesAccountController.h"
#include "Controllers/Preferences/PreferencesGeneralController.h"
#include "Controllers/Preferences/PreferencesWindowController.h"
#include "Controllers/QRShare/QRController.h"
#include "Controllers/QRShare/ShareController.h"
#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/NoInternetViewController.h"
#include "Controllers/SignIn/OauthViewController.h"
#include "Controllers/Update/UpdaterWindowController.h"
#include "Controllers/ViewControllerWithMenuHandler.h"
#include "Update/Checker.h"
#include "Views/BrandedLinkView.h"

void ControllerRegistry::registerAll()
{
    ViewControllerFactory::registerCreator(QStringLiteral("LoginViewController"),
                                           [] { return std::make_unique<LoginViewController>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("NoInternetViewController"), [] {
        return std::make_unique<NoInternetViewController>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("OauthViewController"),
                                           [] { return std::make_unique<OauthViewController>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("MainViewController"),
                                           [] { return std::make_unique<MainViewController>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("WorkspacesController"),
                                           [] { return std::make_unique<WorkspacesController>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("NewLink2Controller"),
                                           [] { return std::make_unique<NewLink2Controller>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("EditLinkController"),
                                           [] { return std::make_unique<EditLinkController>(); });
    Checker::shared().setWindowFactory([] { return std::make_unique<UpdaterWindowController>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("PreferencesWindowController"), [] {
        return std::make_unique<PreferencesWindowController>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("PreferencesGeneralController"), [] {
        return std::make_unique<PreferencesGeneralController>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("PreferencesAccountController"), [] {
        return std::make_unique<PreferencesAccountController>();
    });
    // The settings actions of the tray icon's menu, without a view of their own.
    ViewControllerFactory::registerCreator(QStringLiteral("ViewControllerWithMenuHandler"), [] {
        return std::make_unique<ViewControllerWithMenuHandler>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("AboutController"),
                                           [] { return std::make_unique<AboutController>(); });
    BrandedLinkView::setPopoverContents(
        [](const QString &shortURL, const QString &title) -> std::unique_ptr<ViewController> {
            return ShareController::create(shortURL, title);
        },
        [](const QString &shortURL, const QString &slashtag,
           bool isHttps) -> std::unique_ptr<ViewController> {
            return QRController::create(shortURL, slashtag, isHttps);
        });
}
