; Templates and rules inside a module of their own.
(defmodule MAIN (export ?ALL))
(defmodule POLICY (import MAIN ?ALL))
(deftemplate POLICY::world (slot food_supply) (slot change_FS))
(deftemplate POLICY::colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule POLICY::conclude (world) (colony) => (assert (raise_population)))
