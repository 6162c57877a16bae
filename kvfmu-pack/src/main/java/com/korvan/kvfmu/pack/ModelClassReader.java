package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;

import java.io.IOException;
import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Modifier;
import java.net.MalformedURLException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Collectors;

/**
 * Reads a model class's declaration: loads the class from the packer's class path (where
 * kvbridge.jar and its built-in models are) and the model's jars, makes one object through
 * the public no-argument constructor the server will use, and asks it for its declaration.
 */
final class ModelClassReader {
    private ModelClassReader() {}

    static Declaration read(String className, List<Path> modelJars) throws PackException {
        List<URL> urls = new ArrayList<>();
        for (Path jar : modelJars) {
            Jars.requireJar("model jar", jar);
            try {
                urls.add(jar.toUri().toURL());
            } catch (MalformedURLException e) {
                throw PackException.input("model jar " + jar + ": " + e.getMessage());
            }
        }
        try (URLClassLoader loader = new URLClassLoader(urls.toArray(new URL[0]),
                                                        ModelClassReader.class.getClassLoader())) {
            Model model = instantiate(load(className, modelJars, loader));
            return declaration(className, model);
        } catch (IOException e) {
            throw PackException.input("closing the model jars failed: " + e.getMessage());
        }
    }

    /** The model's interface as the model description shows it. */
    static ModelInterface toInterface(Declaration declaration) {
        List<String> inputNames = declaration.inputs().stream().map(Input::name).toList();
        List<OutputVariable> outputs = new ArrayList<>();
        for (Output output : declaration.outputs()) {
            outputs.add(new OutputVariable(output.name(), output.description(), output.unit(),
                                           output.dependsOnInputs() ? inputNames : List.of()));
        }
        return new ModelInterface(declaration.modelName(), declaration.description(), outputs,
                                  declaration.inputs(), declaration.defaultExperiment());
    }

    private static Class<? extends Model> load(String className, List<Path> modelJars,
                                               ClassLoader loader) throws PackException {
        Class<?> type;
        try {
            type = Class.forName(className, false, loader);
        } catch (ClassNotFoundException e) {
            String where = modelJars.isEmpty() ? "kvbridge.jar (no model jar given)"
                : "kvbridge.jar or the model jars ("
                  + modelJars.stream().map(Path::toString).collect(Collectors.joining(", ")) + ")";
            throw PackException.input("model class " + className + " not found in " + where);
        } catch (LinkageError e) {
            throw PackException.input("model class " + className + " cannot be loaded: " + e);
        }
        if (!Model.class.isAssignableFrom(type)) {
            throw PackException.input(className + " is not a model: it does not implement "
                                      + Model.class.getName());
        }
        if (type.isInterface() || Modifier.isAbstract(type.getModifiers())) {
            throw PackException.input(className + " is abstract: name a concrete model class");
        }
        return type.asSubclass(Model.class);
    }

    private static Model instantiate(Class<? extends Model> type) throws PackException {
        Constructor<? extends Model> constructor;
        try {
            constructor = type.getConstructor();
        } catch (NoSuchMethodException e) {
            throw PackException.input(type.getName() + " has no public no-argument constructor");
        }
        try {
            return constructor.newInstance();
        } catch (InvocationTargetException e) {
            throw PackException.input("creating " + type.getName() + " failed: " + e.getCause());
        } catch (ReflectiveOperationException | LinkageError e) {
            throw PackException.input("creating " + type.getName() + " failed: " + e);
        }
    }

    private static Declaration declaration(String className, Model model) throws PackException {
        Declaration declaration;
        try {
            declaration = model.declaration();
        } catch (RuntimeException | LinkageError e) {
            throw PackException.input(className + ".declaration() failed: " + e);
        }
        if (declaration == null) {
            throw PackException.input(className + ".declaration() returned null");
        }
        return declaration;
    }
}
