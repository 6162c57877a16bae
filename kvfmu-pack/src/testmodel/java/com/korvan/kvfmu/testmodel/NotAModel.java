package com.korvan.kvfmu.testmodel;

/** A class that does not implement the model interface. */
public class NotAModel {
}
