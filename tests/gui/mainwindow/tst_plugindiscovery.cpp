#include <QtPlugin>
