/**
 * The model API: what a model written for the embedded simulation server implements and
 * declares.
 *
 * <p>A model is a class that implements {@link com.korvan.kvbridge.model.Model} (or extends
 * {@link com.korvan.kvbridge.model.ContinuousModel} for differential equations) with a public
 * no-argument constructor. Its {@link com.korvan.kvbridge.model.Declaration} lists the
 * outputs, inputs and parameters a host sees, which take the value references
 * 0..nOut-1 (outputs), nOut..2nOut-1 (a copy of each output), 2nOut..2nOut+nIn-1 (inputs) and
 * 2nOut+nIn..2nOut+nIn+nPar-1 (parameters), in the order declared.
 */
package com.korvan.kvbridge.model;
