#pragma once

/// Registers the six types of the QML module org.netvane.data 1.0 and the
/// meta-types their signals carry.
void registerQmlTypes();
