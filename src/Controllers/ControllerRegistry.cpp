#include "Controllers/ControllerRegistry.h"

#include "App/ViewControllerFactory.h"
#include "Controllers/AboutController.h"
#include "Controllers/EditLinkController.h"
#include "Controllers/LoginViewController.h"
#include "Controllers/MainViewController.h"
#include "Controllers/NewLink2Controller.h"
#include "Controllers/NoInternetViewController.h"
#include "Controllers/OauthViewController.h"
#include "Controllers/PreferencesAccountController.h"
#include "Controllers/PreferencesGeneralController.h"
#include "Controllers/PreferencesWindowController.h"
#include "Controllers/QRController.h"
#include "Controllers/ShareController.h"
#include "Controllers/UpdaterWindowController.h"
#include "Controllers/ViewControllerWithMenuHandler.h"
#include "Controllers/WorkspacesController.h"
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
