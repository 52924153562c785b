#include "Controllers/ControllerRegistry.h"

#include "App/ViewControllerFactory.h"
#include "Controllers/AboutController.h"
#include "Controllers/LoginViewController.h"
#include "Controllers/MainViewController.h"
#include "Controllers/NoInternetViewController.h"
#include "Controllers/OauthViewController.h"
#include "Controllers/PlaceholderViewController.h"
#include "Controllers/PreferencesAccountController.h"
#include "Controllers/PreferencesGeneralController.h"
#include "Controllers/PreferencesWindowController.h"

void ControllerRegistry::registerAll()
{
    ViewControllerFactory::registerCreator(QStringLiteral("LoginViewController"),
                                           [] { return std::make_unique<LoginViewController>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("NoInternetViewController"), [] {
        return std::make_unique<NoInternetViewController>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("OauthViewController"),
                                           [] { return std::make_unique<OauthViewController>(); });
    // The two link forms come with a later version; until then their popovers say what
    // will be there.
    ViewControllerFactory::registerCreator(QStringLiteral("MainViewController"),
                                           [] { return std::make_unique<MainViewController>(); });
    ViewControllerFactory::registerCreator(QStringLiteral("NewLink2Controller"), [] {
        return std::make_unique<PlaceholderViewController>(
            QStringLiteral("New branded link"),
            QStringLiteral("The form to create a branded link will be here."));
    });
    ViewControllerFactory::registerCreator(QStringLiteral("EditLinkController"), [] {
        return std::make_unique<PlaceholderViewController>(
            QStringLiteral("Edit link"), QStringLiteral("The form to edit a link will be here."));
    });
    ViewControllerFactory::registerCreator(QStringLiteral("PreferencesWindowController"), [] {
        return std::make_unique<PreferencesWindowController>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("PreferencesGeneralController"), [] {
        return std::make_unique<PreferencesGeneralController>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("PreferencesAccountController"), [] {
        return std::make_unique<PreferencesAccountController>();
    });
    ViewControllerFactory::registerCreator(QStringLiteral("AboutController"),
                                           [] { return std::make_unique<AboutController>(); });
}
