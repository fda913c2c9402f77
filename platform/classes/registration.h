#pragma once

// Class registration, one function per library.
//
// A form resource names its components' classes, and the reader finds them in
// the class registry. Each library that defines such classes has a
// registration.h with one function that registers every class of its own and
// calls the registration of the libraries it builds on. A program calls the
// function of each library it links at start-up, before it reads a resource
// (test programs do so through the generated call in cmake/Orvex.cmake).
// Naming the classes there also links their units into every program that
// calls it, so registration never depends on what else the linker kept.
// Calling a registration function twice is harmless.

// TPersistent, TComponent, TCollection and TCollectionItem.
void RegisterComponentClasses();
