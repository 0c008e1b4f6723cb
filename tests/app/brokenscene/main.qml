import QtQuick 2.12

// Deliberately broken: a type that does not exist.
NoSuchItem {
}
