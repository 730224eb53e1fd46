#include "project_store/store_test.h"
