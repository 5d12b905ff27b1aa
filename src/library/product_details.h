#pragma once
// What the command line asks of one run.

#include "text.h"

// The four command-line values, verbatim.
struct ProductDetails {
  Text simulator_folder;
  Text action;
  Text product_folder;
  Text product_title;
};
