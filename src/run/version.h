#pragma once

// The version, as the banner, --version and the HTML report give it.
#define MORVA_VERSION "0.1.05"
#define MORVA_VERSION_TAG "morva_" MORVA_VERSION
