// The product's name, address and version as the windows show them.
#pragma once

#define LUMEVA_PRODUCT L"Lumeva"
#define LUMEVA_WEB_ADDRESS L"www.lumeva.fr"
#define LUMEVA_MAIN_VERSION L"1.1.02"
#define LUMEVA_MAIN_TITLE LUMEVA_PRODUCT L" " LUMEVA_WEB_ADDRESS L" - v " LUMEVA_MAIN_VERSION
#define LUMEVA_MAIN_CLASS L"DorvexClass"
#define LUMEVA_ABOUT_VERSION L"1.1.04"
#define LUMEVA_PRODUCT_PAGE L"http://www.lumeva.fr/"
#define LUMEVA_MAKER_PAGE L"http://www.dorvex.fr/"
