#pragma once

/// Registers the six types of the QML module org.netvane.data 1.0 and the
/// meta-types their signals carry, and the helpers only the scenes use in
/// the module org.netvane.scenes 1.0.
void registerQmlTypes();
