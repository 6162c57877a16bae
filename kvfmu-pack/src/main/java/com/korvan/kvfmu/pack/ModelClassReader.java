package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;

import java.io.IOException;
import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Modifier;
import java.net.MalformedURLException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Collectors;

/**
 * Reads a model class for packing: loads the class from the packer's class path (where
 * kvbridge.jar and its built-in models are) and the model's jars, makes one object through
 * the public no-argument constructor the server will use, and asks it for its declaration.
 * The class stays loaded until closed, so that its start state can be checked.
 */
final class ModelClassReader {
    private ModelClassReader() {}

    /** A model object whose class loader stays open until closed. */
    static final class OpenModel implements AutoCloseable {
        private final URLClassLoader loader;
        private final Model model;
        private final Declaration declaration;

        private OpenModel(URLClassLoader loader, Model model, Declaration declaration) {
            this.loader = loader;
            this.model = model;
            this.declaration = declaration;
        }

        Declaration declaration() {
            return declaration;
        }

        /**
         * Runs the model's initialization as the server's first run would: with these
         * parameter values, the inputs' start values and the default start time. Refuses
         * with the model's own message when it fails or leaves an output that is not finite.
         */
        void checkStartState(Map<String, Double> parameters) throws PackException {
            double startTime = declaration.defaultExperiment().startTime();
            double[] inputs = declaration.inputs().stream().mapToDouble(Input::start).toArray();
            double[] outputs = new double[declaration.outputs().size()];
            String what = "model " + declaration.modelName() + " cannot start with the packed"
                          + " parameters and the inputs' start values: ";
            try {
                model.initialize(Collections.unmodifiableMap(new LinkedHashMap<>(parameters)),
                                 startTime, inputs, outputs);
            } catch (Throwable e) {  // whatever the model throws, checked or not
                String message = e.getMessage();
                throw PackException.input(what + (message == null || message.isBlank()
                    ? e.getClass().getSimpleName()
                    : message + " (" + e.getClass().getSimpleName() + ")"));
            }
            for (int i = 0; i < outputs.length; i++) {
                if (!Double.isFinite(outputs[i])) {
                    throw PackException.input(what + "it gives " + outputs[i] + " for output "
                                              + declaration.outputs().get(i).name()
                                              + " at the start time " + startTime);
                }
            }
        }

        @Override
        public void close() throws PackException {
            try {
                loader.close();
            } catch (IOException e) {
                throw PackException.input("closing the model jars failed: " + e.getMessage());
            }
        }
    }

    static OpenModel open(String className, List<Path> modelJars) throws PackException {
        List<URL> urls = new ArrayList<>();
        for (Path jar : modelJars) {
            Jars.requireJar("model jar", jar);
            try {
                urls.add(jar.toUri().toURL());
            } catch (MalformedURLException e) {
                throw PackException.input("model jar " + jar + ": " + e.getMessage());
            }
        }
        URLClassLoader loader = new URLClassLoader(urls.toArray(new URL[0]),
                                                   ModelClassReader.class.getClassLoader());
        OpenModel open = null;
        try {
            Model model = instantiate(load(className, modelJars, loader));
            open = new OpenModel(loader, model, declaration(className, model));
            return open;
        } finally {
            if (open == null) {
                try {
                    loader.close();
                } catch (IOException e) {
                    // the failure that got here says more
                }
            }
        }
    }

    /** The model's interface as the model description shows it, with these parameter values. */
    static ModelInterface toInterface(Declaration declaration, Map<String, Double> parameterValues) {
        List<OutputVariable> outputs = new ArrayList<>();
        for (Output output : declaration.outputs()) {
            outputs.add(new OutputVariable(output.name(), output.description(), output.unit(),
                                           output.dependsOn()));
        }
        List<ParameterVariable> parameters = new ArrayList<>();
        for (Parameter parameter : declaration.parameters()) {
            parameters.add(new ParameterVariable(
                parameter.name(), parameter.description(), parameter.unit(),
                parameterValues.getOrDefault(parameter.name(), parameter.defaultValue()),
                parameter.tunable()));
        }
        return new ModelInterface(declaration.modelName(), declaration.description(), outputs,
                                  declaration.inputs(), parameters, declaration.defaultExperiment());
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
        } catch (Throwable e) {  // also checked exceptions it does not declare
            throw PackException.input(className + ".declaration() failed: " + e);
        }
        if (declaration == null) {
            throw PackException.input(className + ".declaration() returned null");
        }
        return declaration;
    }
}
